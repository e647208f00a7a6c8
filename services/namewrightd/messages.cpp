// The message (user) service: short messages between users (8) and profile
// entries (4). Neither call carries a session identifier (the client's
// layouts fix them), so both ask for a session started from the address the
// datagram came from: for a message, a session of its sender.
#include <optional>

#include "log.h"
#include "names.h"
#include "replies.h"

namespace nwd {

using namespace qrd::nm;

namespace {

// Recipients of one message datagram at most; the client sends one.
constexpr uint16_t kMaxRecipients = uint16_t(kListMax);
// Field capacities of the profile read (NUL included).
constexpr size_t kProfileKeyCap = 16;
constexpr size_t kProfileValueCap = 1024;

// A UTF-8 text in Latin-1, '?' for what Latin-1 lacks, cut to `max` bytes.
std::string toLatin1Lossy(const std::string& utf8, size_t max) {
    std::string out;
    for (size_t i = 0; i < utf8.size() && out.size() < max;) {
        unsigned char c = uint8_t(utf8[i]);
        size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        std::string latin1;
        if (utf8ToLatin1(utf8.substr(i, len), latin1) && latin1.size() == 1)
            out += latin1;
        else
            out += '?';
        i += len;
    }
    return out;
}

} // namespace

// 8: stores a short message for each recipient. The sender must hold a
// session started from the datagram's address, and the stored sender is
// that session's user. Each address may store `messageRate` messages (one
// per recipient) at once and earns them back over time; one datagram is one
// transaction, so its recipients cost one synced commit. Never answered.
Handler::Reply Handler::userMessage(Call& c) {
    std::string sender, text;
    readName(c.args, sender);
    uint16_t count = c.args.u16();
    if (!c.args.ok() || count == 0 || count > kMaxRecipients) return std::nullopt;
    std::vector<std::string> recipients(count);
    for (std::string& r : recipients)
        readName(c.args, r);
    c.args.string(text, kMessageCap - 1);
    if (!c.args.ok()) return std::nullopt;
    const uint32_t now = clock_();
    std::optional<Session> s = sessions_.findUserAt(c.from, nameKey(sender), now);
    if (!s) {
        logLine(LogLevel::Debug, "message from %s dropped: no session of that user at its address",
                latin1ToUtf8(sender).c_str());
        return std::nullopt;
    }
    if (!messageRate_.take(c.from.address, count, now)) {
        logLine(LogLevel::Debug, "message from %s dropped: too many messages",
                latin1ToUtf8(s->user).c_str());
        return std::nullopt;
    }
    MessageRecord m;
    m.sender = latin1ToUtf8(s->user);
    m.text = latin1ToUtf8(text);
    m.received = now;
    try {
        Transaction t(storage_);
        for (const std::string& name : recipients) {
            Resolved r = dir_.resolve(name, kNameKindObject);
            if (r.status || r.entry.kind != Kind::User) {
                logLine(LogLevel::Info, "message for unknown user %s dropped",
                        latin1ToUtf8(name).c_str());
                continue;
            }
            storage_.addMessage(r.entry.id, m, config_.messagesPerUser);
        }
        t.commit();
    } catch (const StorageError& e) {
        logLine(LogLevel::Error, "message not stored: %s", e.what());
    }
    return std::nullopt;
}

// 4: one profile entry of a user, else of the user's group, else of its
// organisation (the opening saw a session at the caller's address). The
// answer carries a status word of its own: 0, 1002 (no such owner) or 1013
// (no such entry); the directory keeps one text per entry, so the second
// text is always empty.
Handler::Reply Handler::profileEntry(Call& c) {
    c.args.u16(); // 1 and 22 from every client; nothing to choose
    c.args.u16();
    std::string keyword, name;
    c.args.string(keyword, kProfileKeyCap - 1);
    c.args.u16();
    readName(c.args, name);
    if (!c.args.ok()) return refusal(kBadRequest);

    uint16_t status = kNoSuchObject;
    std::string value;
    std::vector<std::string> parts;
    if (splitName(name, parts)) {
        static const uint16_t kinds[] = {kNameKindOrg, kNameKindGroup, kNameKindObject};
        Resolved r = dir_.resolve(name, kinds[parts.size() - 1]);
        if (r.status == 0) {
            status = kNoRecord;
            const std::string key = upperLatin1(keyword);
            // Three levels at most: the owner, its group, its organisation.
            std::optional<Entry> owner = r.entry;
            for (int depth = 0; owner && depth < 3 && status != 0; ++depth) {
                for (const ProfileEntry& p : storage_.profile(owner->id)) {
                    std::string k;
                    if (utf8ToLatin1(p.key, k) && upperLatin1(k) == key) {
                        value = toLatin1Lossy(p.value, kProfileValueCap - 1);
                        status = 0;
                        break;
                    }
                }
                owner = owner->parentId ? storage_.entry(owner->parentId) : std::nullopt;
            }
        }
    } else {
        status = kBadName;
    }
    qrd::BeWriter w = returnWriter(2 + 2 + value.size() + 1 + 2);
    w.u16(status);
    w.string(value);
    w.string(std::string());
    return done(w);
}

} // namespace nwd
