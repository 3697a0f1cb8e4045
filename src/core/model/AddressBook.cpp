// Address book loading: the objects of the store come from the terminal system's
// comma-separated AddrBook.txt, one object per line.

#include "model/DataStore.h"
#include "base/TextUtil.h"
#include "platform/FileSystem.h"

namespace {

constexpr char kCr = 13;
constexpr char kLf = 10;
constexpr char kQuote = '"';
constexpr char kComma = ',';
constexpr int kFieldsPerLine = 4;

}  // namespace

bool CDataStore::LoadAddressBook(const std::string& path) {
    ClearObjects();
    std::string bytes;
    if (!FileSystem::ReadWholeFile(path, bytes))
        return false;
    return LoadAddressBookFromBytes(bytes);
}

bool CDataStore::LoadAddressBookFromBytes(const std::string& bytes) {
    ClearObjects();
    selectedTokens_.clear();
    const std::string_view selection = selectedIdsText;
    for (std::size_t bar = selection.find('|'); bar != std::string_view::npos;) {
        const std::size_t next = selection.find('|', bar + 1);
        if (next == std::string_view::npos)
            break;
        selectedTokens_.insert(selection.substr(bar + 1, next - bar - 1));
        bar = next;
    }
    selectedTokensValid_ = true;
    struct Done {
        CDataStore& store;
        ~Done() {
            store.selectedTokensValid_ = false;
            store.selectedTokens_.clear();
        }
    } done{*this};

    std::string line;
    bool accepted = false;
    for (const char c : bytes) {
        if (c == kLf)
            continue;
        if (c != kCr) {
            line += c;
            continue;
        }
        // A blank line is skipped; carrying its CR into the next line would glue a
        // stray byte to the front of the next object's number.
        if (line.empty())
            continue;
        if (!ParseAddressBookLine(line))
            return false;
        ++objectCount;
        accepted = true;
        line.clear();
    }
    // Whatever follows the last CR is an incomplete line and is not taken.
    return accepted;
}

bool CDataStore::ParseAddressBookLine(const std::string& line) {
    if (line.size() < 4)
        return false;
    AppendObject();

    std::string field;
    int delivered = 0;
    bool inQuotes = false;
    auto deliver = [&] {
        SetAddressBookField(field, delivered);
        ++delivered;
        field.clear();
    };
    auto finish = [&] {
        if (delivered == kFieldsPerLine)
            return true;
        // The rejected line must not leave a half-filled object behind.
        objects_.pop_back();
        return false;
    };

    const std::size_t n = line.size();
    for (std::size_t k = 0; k < n; ++k) {
        const char c = line[k];
        if (c == kQuote) {
            if (!inQuotes) {
                inQuotes = true;
            } else if (k + 1 == n) {
                deliver();
                return finish();
            } else if (line[k + 1] == kQuote) {
                // A doubled quote is one quote character; the second one reopens the
                // quoted text on the next step.
                field += kQuote;
                inQuotes = false;
            } else {
                // The byte after a closing quote is taken to be the separator and is not
                // looked at.
                deliver();
                inQuotes = false;
                ++k;
            }
        } else if (c == kComma && !inQuotes) {
            deliver();
        } else {
            field += c;
        }
    }
    deliver();
    return finish();
}

void CDataStore::SetAddressBookField(const std::string& text, int fieldIndex) {
    if (objects_.empty())
        return;
    ObjectRecord& object = objects_.back();
    switch (fieldIndex) {
        case 0:
            object.id = text;
            object.selected = IsSelectedId(text) ? 1 : 0;
            break;
        case 1:
            object.name = text;
            break;
        case 3:
            object.alarmMark = text;
            break;
        default:
            break;
    }
}

bool CDataStore::IsSelectedId(const std::string& id) const {
    if (selectedTokensValid_ && id.find('|') == std::string::npos)
        return selectedTokens_.count(id) != 0;
    return TextUtil::Contains(selectedIdsText, "|" + id + "|");
}
