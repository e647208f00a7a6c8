// CQrdApi: the store's one road to the Namewright client API.
//
// All members are static. Each thread gets its own Namewright session,
// started on first use and ended by destroySession; each thread has its own
// last error, set by every failed client call and read (and reset) by
// getLastError. Attribute reads, writes and deletes retry the transient
// statuses with growing pauses (Retries / RetryDelay in the store's registry
// key).
//
// Text: every name and text here is UTF-8. The client API speaks Latin-1;
// the conversion happens inside CQrdApi, and a name that cannot be written in
// Latin-1 is refused as an invalid name (1001).
//
// Results: functions that return QRDSTATUS give 0 for success and otherwise
// the client API's status (or one of the codes below). No exception leaves
// this class.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <qrdapi.h>

#include "namedir/export.h"

struct QrdClientCalls;

class NAMEDIR_EXPORT CQrdApi {
  public:
    CQrdApi() = delete;

    // Codes of this class's own (beside the client API's statuses).
    static constexpr QRDSTATUS kOutOfMemory = 8; // a list grew beyond memory
    static constexpr QRDSTATUS kBadName = 1001;  // QRDERR_NM_BAD_NAME
    static constexpr uint16_t kNameBufferLength = NMNAMELEN;

    // Name-kind results of getType, validateNameWithWildcards, isAclSpecValid.
    static constexpr long kTypeNone = -1;
    static constexpr long kTypeUser = 1;
    static constexpr long kTypeList = 3;
    static constexpr long kTypeGroup = 5;
    static constexpr long kTypeOrganisation = 6;

    // ---- Sessions and errors -------------------------------------------
    // The session of `thread` (the current thread when default-constructed),
    // created and started when needed; `session` non-null is used as given.
    // A start that failed leaves the record unstarted; the next call tries
    // again. `wait` is accepted for callers that pass it and not used.
    // nullptr only when no memory is left for a record.
    static QRD_NM_SESS* getNmSession(QRD_NM_SESS* session = nullptr, std::thread::id thread = {},
                                     unsigned long wait = 5000);
    static bool createSession();
    // Ends the calling thread's session; false when there is none or the end
    // failed (the entry is then kept).
    static bool destroySession();
    // Ends every thread's session: for the end of the process, when no other
    // thread uses the store any more (their records are freed).
    static bool destroyAllSessions();
    // The calling thread's last failure status; reading resets it to 0.
    static QRDSTATUS getLastError();
    static void clearLastError();
    static uint32_t getClientVersionNumber();

    // ---- Names -----------------------------------------------------------
    // Splits `name` at '@' into at most `partCount` parts; `partCount` comes
    // back with the number found (1 item, 2 group and organisation, 3 full).
    static QRDSTATUS breakName(const std::string& name, std::vector<std::string>& parts,
                               uint16_t& partCount, uint16_t bufferLength = kNameBufferLength);
    static QRDSTATUS getUserName(std::string& name);
    // The same into a caller's buffer of `size` bytes (1080 when too small).
    static QRDSTATUS getUserName(char* buffer, size_t size);
    static QRDSTATUS getUserGroup(std::string& group);
    static QRDSTATUS getUserOrg(std::string& org);
    // One part gets the user's group and organisation, two parts the user's
    // organisation; three parts stay.
    static QRDSTATUS makeFullName(std::string& name);
    static QRDSTATUS validateName(const std::string& name, bool& hasWildcards);
    static QRDSTATUS formatUserName(std::string& name);
    static QRDSTATUS formatGroupName(std::string& name);
    static QRDSTATUS formatName(std::string& name);
    static bool isGroupName(std::string& name);
    static bool isGroupName(const std::string& name);
    static bool isOrganisationName(std::string& name);
    // "*@group@org" (type 5) or "*@*@org" (type 6), made canonical.
    static bool validateNameWithWildcards(std::string& name, long& type);
    static QRDSTATUS getType(const std::string& name, long& type);
    // Whether `name` may stand in an access-rights entry; it is made
    // canonical and its type set (kTypeNone when not valid).
    static bool isAclSpecValid(std::string& name, long& type);
    static bool isQordaFileService(const std::string& name);
    static bool isQordaFileService(char drive, std::string& serviceName, std::string& root);
    static bool isQordaFileService(char drive);

    // ---- Lists and groups ------------------------------------------------
    // The users of a list, nested lists and groups expanded. A list met again
    // while it is being expanded is passed over.
    static QRDSTATUS enumList(const std::string& listName, std::vector<std::string>& out);
    static QRDSTATUS enumGroupUsers(const std::string& groupName, std::vector<std::string>& out);
    static bool isListMember(const std::string& listName, const std::string& objectName);
    static bool isGroupMember(const std::string& groupName, const std::string& userName);

    // ---- Attributes (raw values; a group holder uses object class 5) -----
    static QRDSTATUS readAttribute(const std::string& holder, uint32_t attrCategory,
                                   uint32_t attrNumber, std::vector<uint8_t>& bytes);
    static QRDSTATUS writeAttribute(const std::string& holder, uint32_t attrCategory,
                                    uint32_t attrNumber, uint32_t length, const uint8_t* bytes);
    static QRDSTATUS writeAttribute(const std::string& holder, uint32_t attrCategory,
                                    uint32_t attrNumber, const std::vector<uint8_t>& bytes);
    static QRDSTATUS deleteAttribute(const std::string& holder, uint32_t attrCategory,
                                     uint32_t attrNumber);
    // Stores `bytes` only if every condition holds, as one
    // step with the check: 0, QRDERR_NM_CONDITION_FAILED or another failure.
    static QRDSTATUS writeAttributeIf(const std::string& holder, uint32_t attrCategory,
                                      uint32_t attrNumber, const std::vector<uint8_t>& bytes,
                                      const std::vector<QRD_ATTR_CONDITION>& conditions);
    // Appends the names of the holder's attributes from `first` to `last`.
    static QRDSTATUS scanAttributes(const std::string& holder, const AttrName& first,
                                    const AttrName& last, std::vector<AttrName>& out);

    // ---- Messages and log ------------------------------------------------
    static void sendMessage(const std::string& userName, const std::string& text);
    // One time-stamped line in the store's log file; a file of 32767 bytes
    // or more is moved to "<file>.bak" first.
    static void logMessage(const std::string& text);

    // ---- Settings and hooks for tests and measurement --------------------
    struct Settings {
        unsigned long retries;
        unsigned long retryDelayMs;
        std::string logFile;
    };
    // Reads the registry stand-in again (values missing are written back).
    static Settings reloadSettings();
    static Settings settings();
    // Replaces the pause between retries; an empty function restores the
    // real sleep.
    static void setSleepFunction(std::function<void(unsigned long ms)> sleep);
    // Replaces the client API table (nullptr restores the default). The
    // table must outlive its use.
    static void setClientCalls(const QrdClientCalls* calls);
    static const QrdClientCalls& clientCalls();
};
