#pragma once

#include <cstdint>

// The look of one cell, row or column of the object list: a flag word and two colours
// (0xRRGGBB). Kept free of Qt so that the rules can be checked without a display.
struct CellStyle {
    static constexpr uint32_t kBold = 0x01;
    static constexpr uint32_t kItalic = 0x02;
    static constexpr uint32_t kUnderline = 0x04;
    static constexpr uint32_t kStrikeOut = 0x08;
    static constexpr uint32_t kFontMask = 0x0F;
    static constexpr uint32_t kTextColour = 0x10;       // textColour applies
    static constexpr uint32_t kBackColour = 0x20;       // backColour applies
    static constexpr uint32_t kHideColumnStyle = 0x40;  // on a cell or row
    static constexpr uint32_t kHideRowStyle = 0x80;     // on a cell or column

    uint32_t flags = 0;
    uint32_t textColour = 0;
    uint32_t backColour = 0;

    bool operator==(const CellStyle&) const = default;
};

// Font attributes in the plain form the list needs; bold means weight 700 instead of 400.
struct FontAttributes {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;

    bool operator==(const FontAttributes&) const = default;
    // The font a style with these flag bits asks for.
    static FontAttributes FromFlags(uint32_t flags);
};

// What a cell is finally painted with.
struct ResolvedCellStyle {
    uint32_t textColour = 0;
    uint32_t backColour = 0xFFFFFF;
    FontAttributes font;
    // True when some level asked for a font of its own (else the list's font is used as is).
    bool ownFont = false;

    bool operator==(const ResolvedCellStyle&) const = default;
};

// Picks colours and font of an unselected cell from its own style, its row's and its
// column's (column may be null), falling back to the list's colours and font.
// Colours: cell, then row, then column, then the list. Fonts are merged column first,
// then row, then cell, each applying only the attributes in which it differs from the
// list's font, so the most specific level wins.
ResolvedCellStyle ResolveCellStyle(const CellStyle& cell, const CellStyle& row,
                                   const CellStyle* column, uint32_t listTextColour,
                                   uint32_t listBackColour, const FontAttributes& listFont);
