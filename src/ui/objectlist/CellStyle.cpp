#include "objectlist/CellStyle.h"

FontAttributes FontAttributes::FromFlags(uint32_t flags) {
    FontAttributes font;
    font.bold = (flags & CellStyle::kBold) != 0;
    font.italic = (flags & CellStyle::kItalic) != 0;
    font.underline = (flags & CellStyle::kUnderline) != 0;
    font.strikeOut = (flags & CellStyle::kStrikeOut) != 0;
    return font;
}

namespace {

void MergeFont(const FontAttributes& level, const FontAttributes& listFont,
               FontAttributes& merged) {
    if (level.bold != listFont.bold) {
        merged.bold = level.bold;
    }
    if (level.italic != listFont.italic) {
        merged.italic = level.italic;
    }
    if (level.underline != listFont.underline) {
        merged.underline = level.underline;
    }
    if (level.strikeOut != listFont.strikeOut) {
        merged.strikeOut = level.strikeOut;
    }
}

}  // namespace

ResolvedCellStyle ResolveCellStyle(const CellStyle& cell, const CellStyle& row,
                                   const CellStyle* column, uint32_t listTextColour,
                                   uint32_t listBackColour, const FontAttributes& listFont) {
    const uint32_t columnFlags = column != nullptr ? column->flags : 0;
    const bool columnCounts = column != nullptr &&
                              (cell.flags & CellStyle::kHideColumnStyle) == 0 &&
                              (row.flags & CellStyle::kHideColumnStyle) == 0;
    const bool rowCounts = (cell.flags & CellStyle::kHideRowStyle) == 0 &&
                           (columnFlags & CellStyle::kHideRowStyle) == 0;

    ResolvedCellStyle out;
    if (cell.flags & CellStyle::kTextColour) {
        out.textColour = cell.textColour;
    } else if (rowCounts && (row.flags & CellStyle::kTextColour)) {
        out.textColour = row.textColour;
    } else if (columnCounts && (columnFlags & CellStyle::kTextColour)) {
        out.textColour = column->textColour;
    } else {
        out.textColour = listTextColour;
    }
    if (cell.flags & CellStyle::kBackColour) {
        out.backColour = cell.backColour;
    } else if (rowCounts && (row.flags & CellStyle::kBackColour)) {
        out.backColour = row.backColour;
    } else if (columnCounts && (columnFlags & CellStyle::kBackColour)) {
        out.backColour = column->backColour;
    } else {
        out.backColour = listBackColour;
    }

    out.font = listFont;
    auto apply = [&](uint32_t flags) {
        if ((flags & CellStyle::kFontMask) != 0) {
            MergeFont(FontAttributes::FromFlags(flags), listFont, out.font);
            out.ownFont = true;
        }
    };
    if (columnCounts) {
        apply(columnFlags);
    }
    if (rowCounts) {
        apply(row.flags);
    }
    apply(cell.flags);
    return out;
}
