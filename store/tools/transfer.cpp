#include "transfer.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "json.h"
#include "jsonread.h"
#include "namedir.h"

namespace namedirtool {

using namespace namedir;
using namespace namedir::layout;

namespace {

constexpr const char* kFormat = "namedir-desktop";
constexpr long long kVersion = 1;
constexpr size_t kMaxValue = 1 << 20; // what the service keeps of one value

bool desktopCategory(uint32_t category) {
    return category == kCatFixed || (category >= kCatMain && category <= kCatContents);
}

std::string toHex(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(2 * bytes.size());
    for (uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

bool fromHex(const std::string& text, std::vector<uint8_t>& bytes) {
    if (text.size() % 2 || text.size() / 2 > kMaxValue) return false;
    bytes.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        int v = 0;
        for (char c : {text[i], text[i + 1]}) {
            v <<= 4;
            if (c >= '0' && c <= '9')
                v |= c - '0';
            else if (c >= 'a' && c <= 'f')
                v |= c - 'a' + 10;
            else
                return false;
        }
        bytes.push_back(uint8_t(v));
    }
    return true;
}

bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower((unsigned char)a[i]) != std::tolower((unsigned char)b[i])) return false;
    return true;
}

// Points addresses at `to` that pointed at `from`.
void rename(DIRAddressPtr& a, const std::string& from, const std::string& to) {
    const DIRNmDirectoryAddress* nm = a.nm();
    if (!nm || !sameName(nm->nmName, from)) return;
    a.reset(new DIRNmDirectoryAddress(to, nm->attrCategory, nm->attrNumber, nm->nmTime));
}

// The value of a list attribute with its addresses renamed; other values as
// they are.
long renamed(const std::string& from, const std::string& to, uint32_t category,
             std::vector<uint8_t>& bytes) {
    AttrStream in(from, category, 0), out(to, category, 0);
    in.load(bytes);
    if (category == kCatParents) {
        std::vector<DIRParentInfo> list;
        if (long e = decodeParents(in, list)) return e;
        for (DIRParentInfo& p : list)
            rename(p.address, from, to);
        if (long e = encodeParents(list, out)) return e;
    } else if (category == kCatContents || category == kCatActionList) {
        std::vector<DIRRefInfo> list;
        if (long e = decodeReferences(in, list)) return e;
        for (DIRRefInfo& r : list)
            rename(r.address, from, to);
        if (long e = encodeReferences(list, out)) return e;
    } else {
        return DIR_OK;
    }
    bytes = out.bytes();
    return DIR_OK;
}

} // namespace

bool exportHolder(AttrStore& store, const std::string& holder, bool group,
                  const std::vector<AttrName>& attrs, const std::string& file, std::string& error) {
    std::string json;
    JsonWriter j(json);
    j.beginObject();
    j.string("format", kFormat);
    j.number("version", kVersion);
    j.string("holder", holder);
    j.string("class", group ? "group" : "user");
    j.beginArray("attributes");
    for (const AttrName& a : attrs) {
        if (!desktopCategory(a.category)) continue;
        std::vector<uint8_t> bytes;
        if (QRDSTATUS s = store.read(holder, a.category, a.number, bytes)) {
            error = "cannot read attribute " + std::to_string(a.category) + "," +
                    std::to_string(a.number) + " of " + holder + " (status " + std::to_string(s) +
                    ")";
            return false;
        }
        j.beginObject();
        j.number("category", a.category);
        j.number("number", a.number);
        j.string("bytes", toHex(bytes));
        j.endObject();
    }
    j.endArray();
    j.endObject();
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << json;
    out.close();
    if (!out) {
        error = "cannot write " + file;
        return false;
    }
    return true;
}

bool importHolder(AttrStore& store, const std::string& holder, bool group,
                  const std::vector<AttrName>& existing, const std::string& file,
                  std::string& error) {
    for (const AttrName& a : existing)
        if (desktopCategory(a.category)) {
            error = holder + " already holds desktop attributes (" + std::to_string(a.category) +
                    "," + std::to_string(a.number) + "); import only into a holder without one";
            return false;
        }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "cannot open " + file;
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    JsonValue doc;
    if (!parseJson(text.str(), doc, error)) {
        error = file + ": " + error;
        return false;
    }
    const JsonValue* format = doc.member("format");
    const JsonValue* version = doc.member("version");
    const JsonValue* from = doc.member("holder");
    const JsonValue* cls = doc.member("class");
    const JsonValue* list = doc.member("attributes");
    long long v = 0;
    if (!format || format->text != kFormat || !version || !version->integer(0, 1 << 30, v) ||
        !from || from->kind != JsonValue::String || !cls || !list ||
        list->kind != JsonValue::Array) {
        error = file + " is not a desktop exported by namedir";
        return false;
    }
    if (v != kVersion) {
        error = file + " is of version " + std::to_string(v) + "; this namedir reads version " +
                std::to_string(kVersion);
        return false;
    }
    if ((cls->text == "group") != group) {
        error = file + " holds a " + cls->text + "'s desktop; " + holder + " is not a " + cls->text;
        return false;
    }
    struct Value {
        uint32_t category, number;
        std::vector<uint8_t> bytes;
    };
    std::vector<Value> values;
    for (const JsonValue& item : list->items) {
        long long c = 0, n = 0;
        const JsonValue* bytes = item.member("bytes");
        Value value{};
        if (!item.member("category") || !item.member("category")->integer(0, UINT32_MAX, c) ||
            !item.member("number") || !item.member("number")->integer(0, UINT32_MAX, n) ||
            !desktopCategory(uint32_t(c)) || !bytes || !fromHex(bytes->text, value.bytes)) {
            error = file + ": attribute " + std::to_string(values.size() + 1) +
                    " is not a category, a number and hexadecimal bytes";
            return false;
        }
        value.category = uint32_t(c);
        value.number = uint32_t(n);
        if (!sameName(from->text, holder))
            if (long e = renamed(from->text, holder, value.category, value.bytes)) {
                error = file + ": the list " + std::to_string(c) + "," + std::to_string(n) +
                        " cannot be read (" + std::to_string(e) + ")";
                return false;
            }
        values.push_back(std::move(value));
    }
    // Main records last: an object whose main record is there is complete.
    std::stable_partition(values.begin(), values.end(),
                          [](const Value& a) { return a.category != kCatMain; });
    for (const Value& a : values)
        if (QRDSTATUS s = store.write(holder, a.category, a.number, a.bytes)) {
            error = "cannot write attribute " + std::to_string(a.category) + "," +
                    std::to_string(a.number) + " of " + holder + " (status " + std::to_string(s) +
                    "); the import stopped part-way";
            return false;
        }
    return true;
}

} // namespace namedirtool
