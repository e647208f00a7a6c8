/*
 * qrdapi.h - the QORDA client API (libqrdxapi.so, also reachable as libqrdapi.so).
 *
 * Conventions
 * - Status: every function returns a QRDSTATUS (uint16_t); 0 is success. The
 *   library's own and the transport's statuses are 100-499, the Namewright
 *   service's 1000-1999. QrdGetErrorText gives the text of any status.
 * - Ownership: the library never keeps a caller's buffer beyond a call and
 *   frees everything it allocates. Records (ports, sessions, socket requests)
 *   are built and owned by the caller.
 * - Ports: every QRD_PORT argument may be NULL, which stands for the null
 *   port (sixteen 0xFF bytes).
 * - Threads: any thread may call. A QRD_NM_SESS belongs to one thread at a
 *   time. Process-wide tables are guarded by the library's locks; the
 *   workstation's global variables by a lock shared between processes.
 *   QrdAddrToStr returns a process-wide static text.
 * - Wire and workstation records are packed; their sizes are asserted below.
 *   Records that hold a pointer keep their field order; on x86-64 the pointer
 *   takes 8 bytes, so their size differs from the 32-bit layout (noted).
 * - Names travel in the session's character set (Latin-1 for code 1).
 */
#ifndef QRDAPI_H
#define QRDAPI_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#define QRD_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define QRD_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

#define QRDAPI __attribute__((visibility("default")))

typedef uint16_t QRDSTATUS;

/* ------------------------------------------------------------------------
 * Statuses
 * --------------------------------------------------------------------- */
#define QRD_OK 0
#define QRDERR_NO_DEVICE 31         /* the file-system device cannot be opened */
#define QRDERR_GLOBALVAR 51         /* bad global-variable id or length */
#define QRDERR_BAD_ARG 100          /* bad argument to a library call */
#define QRDERR_SOFTWARE_VERSION 102 /* software version unavailable */
#define QRDERR_NO_CACHE_ENTRY 103   /* no free RPC socket cache entry */
#define QRDERR_NO_MEMORY 104        /* no memory for a buffer */
#define QRDERR_MARSHAL 107          /* marshalling or unmarshalling failed */
#define QRDERR_BAD_SOCKET 151       /* socket no longer valid */
#define QRDERR_ADDR_IN_USE 152      /* address in use */
#define QRDERR_WOULD_BLOCK 153      /* would block / buffer too small (NIC) */
#define QRDERR_DEST_REQUIRED 154    /* destination address required */
#define QRDERR_NOT_RESPONDING 155   /* service not responding */
#define QRDERR_TOO_BIG 156          /* datagram larger than the buffer */
#define QRDERR_NOT_AVAILABLE 157    /* service not available */
#define QRDERR_NO_PROTOCOL 158      /* protocol / family not supported */
#define QRDERR_BAD_OPTION 159       /* socket type not supported */
#define QRDERR_PROTOCOL_ABSENT 160  /* protocol not available */
#define QRDERR_NO_BUFFERS 162       /* no buffer space */
#define QRDERR_TIMEOUT 163          /* no reply within the time-out */
#define QRDERR_DEVICE_CALL 165      /* the device call itself failed */
#define QRDERR_ABORTED 173          /* call interrupted or aborted */
#define QRDERR_NET_DOWN 250
#define QRDERR_NET_DOWN2 251
#define QRDERR_HOST_DOWN 252
#define QRDERR_NET_UNREACHABLE 253
#define QRDERR_ADDR_NOT_AVAIL 256
#define QRDERR_NO_SCM 257
#define QRDERR_IS_CONNECTED 258
#define QRDERR_NOT_CONNECTED 259
#define QRDERR_REFUSED 260
#define QRDERR_RESET 261
#define QRDERR_SOCKET_OTHER 499

#define QRDERR_NM_REFERRAL 101 /* service: ask the group's server */
#define QRDERR_NM_BAD_NAME 1001
#define QRDERR_NM_NAME_TOO_LONG 1005
#define QRDERR_NM_NO_MEMORY 1006
#define QRDERR_NM_NOT_GROUP 1009
#define QRDERR_NM_NO_RECORD 1013
#define QRDERR_NM_NO_SESSION 1017
#define QRDERR_NM_ATTRS_GONE 1032
#define QRDERR_NM_SESSION_LOST 1039
#define QRDERR_NM_NO_MORE 1041
#define QRDERR_NM_DESC_TOO_SMALL 1053
#define QRDERR_NM_NO_ATTR 1055
#define QRDERR_NM_EMU_DAMAGED 1064
#define QRDERR_NM_BAD_ARG 1068
#define QRDERR_NM_REPLACE_INDEX 1069
#define QRDERR_NM_CONDITION_FAILED 1070 /* a conditional write found the value changed */
#define QRDERR_NM_BUFFER_SMALL 1080
#define QRDERR_NM_NOT_LOGGED_IN 1801

#define QRD_ERRTEXT_LEN 128 /* error text buffers, NUL included */

/* ------------------------------------------------------------------------
 * Library frame: versions, global variables, file-system device
 * --------------------------------------------------------------------- */
typedef struct QRD_API_VERSION {
    uint32_t words[4]; /* {5, 600, 0, 0} */
} QRD_API_VERSION;

/* Global-variable ids of the workstation store (168 bytes). */
#define QRD_GV_NM_PORT 1      /* 16: remembered Namewright service port */
#define QRD_GV_WORD2 2        /* 4 */
#define QRD_GV_USER_NAME 4    /* 64: the logged-in user's full name */
#define QRD_GV_NAME6 6        /* 64 */
#define QRD_GV_NONCE 15       /* 14: the login nonce */
#define QRD_GV_WORD16 16      /* 2 */
#define QRD_GV_PROCESS 20     /* 4: per process, not in the block */
#define QRD_GV_NM_REVISION 34 /* 4: Namewright revision of the workstation */
#define QRD_GLOBALVAR_BLOCK 168

/* File-system device request: 114 bytes in and out in place. The
 * global-variable request is {code 19 get / 20 set at 4, 0 at 5, u16 id at 6,
 * u16 length at 8, buffer pointer at 10}; the drive-mapping query is
 * {18 at 4, drive at 6, service name text from 8, root buffer pointer at 72}. */
#pragma pack(push, 1)
typedef struct QRD_FS_REQ {
    uint16_t function;
    uint16_t subfunction;
    uint8_t request[110];
} QRD_FS_REQ;
#pragma pack(pop)
QRD_STATIC_ASSERT(sizeof(QRD_FS_REQ) == 114, "file-system request is 114 bytes");

#define QRD_FS_GLOBALVAR_GET 19
#define QRD_FS_GLOBALVAR_SET 20
#define QRD_FS_DRIVE_MAPPING 18
#define QRD_ROOT_LEN 256 /* root buffer of QrdGetDriveMapping */

QRDAPI QRDSTATUS QrdDone(void);
QRDAPI QRDSTATUS QrdGetApiVersion(QRD_API_VERSION* version);
QRDAPI QRDSTATUS QrdGetGlobalVar(uint16_t id, void* buffer, uint16_t length);
QRDAPI QRDSTATUS QrdSetGlobalVar(uint16_t id, const void* buffer, uint16_t length);
QRDAPI QRDSTATUS QrdDetachServiceBackend(void);
/* Sends one request to the file-system device (the redirector stand-in). */
QRDAPI QRDSTATUS QrdCallFileSystem(QRD_FS_REQ* request);

/* ------------------------------------------------------------------------
 * Transport: ports, the comm-stack device, sockets
 * --------------------------------------------------------------------- */
#pragma pack(push, 1)
/* Every endpoint. Bytes 0-1 family (3 is stored 00 03, others little-endian),
 * 2-5 network (BE), 6-7 subnetwork (BE; 1 = the server itself), 8-9 port
 * (BE; well-known ports are 9-bit), 10 octet10, 11 octet11, 12-15 word12 (BE). */
typedef struct QRD_PORT {
    uint8_t family[2];
    uint8_t network[4];
    uint8_t subnet[2];
    uint8_t port[2];
    uint8_t octet10;
    uint8_t octet11;
    uint8_t word12[4];
} QRD_PORT;

/* Socket request: 52 bytes in the 32-bit layout, 56 here (8-byte pointer). */
typedef struct QRD_SOCK_REQ {
    uint32_t count;  /* bytes transferred (out); 0xFFFFFFFF = nothing waiting */
    uint32_t status; /* out; cleared by the API before each call */
    uint32_t socket;
    void* buffer;
    uint32_t length;
    uint32_t flags;   /* QRD_SOCK_NOWAIT | QRD_SOCK_DIRECTED | QRD_SOCK_CONNECTED */
    QRD_PORT remote;  /* destination on send, source on receive */
    uint32_t timeout; /* ticks of 1/5 s; >= 0x7FFFFFFF or 0xFFFFFFFF = no limit */
    uint32_t reserved;
    uint32_t rpc; /* set to 1 by the RPC layer */
} QRD_SOCK_REQ;

/* Device control block: 16 bytes in the 32-bit layout, 20 here. */
typedef struct QRD_CNTL_BLOCK {
    uint16_t op;
    uint16_t qrderr;
    uint32_t pid;
    uint32_t thread;
    void* arg;
} QRD_CNTL_BLOCK;

/* Entry of QrdGetNetAddrs: a port followed by adapter information. */
typedef struct QRD_NET_ADDR {
    QRD_PORT port;
    uint8_t info[56];
} QRD_NET_ADDR;
#pragma pack(pop)
QRD_STATIC_ASSERT(sizeof(QRD_PORT) == 16, "port record is 16 bytes");
QRD_STATIC_ASSERT(sizeof(QRD_SOCK_REQ) == 56, "socket request: 52 + 4 pointer bytes");
QRD_STATIC_ASSERT(offsetof(QRD_SOCK_REQ, remote) == 28, "remote port follows the flags");
QRD_STATIC_ASSERT(sizeof(QRD_CNTL_BLOCK) == 20, "control block: 16 + 4 pointer bytes");
QRD_STATIC_ASSERT(sizeof(QRD_NET_ADDR) == 72, "net address entry is 72 bytes");

#define QRD_FAMILY_NATIVE 3
#define QRD_FAMILY_INET 2
#define QRD_PORT_ANY 0xFFFF
#define QRD_SOCK_NOWAIT 0x01
#define QRD_SOCK_DIRECTED 0x02
#define QRD_SOCK_CONNECTED 0x40
#define QRD_TIMEOUT_NONE 0x7FFFFFFFu
#define QRD_COUNT_NOTHING 0xFFFFFFFFu
#define QRD_PROT_QIP 0x01
#define QRD_PROT_IP 0x10

/* Device operation codes. */
#define CNTL_SOOPEN 1
#define CNTL_SOSEND 2
#define CNTL_SORECV 3
#define CNTL_SOCLOSE 4
#define CNTL_SOWAIT 5
#define CNTL_NOTIFYWND 7
#define CNTL_SESOPEN 8
#define CNTL_NOTIFY 11
#define CNTL_ISDIALIN 12
#define CNTL_SOIOCTL 13
#define CNTL_SOCANCEL 18
#define CNTL_THREADDONE 19
#define CNTL_NICADDR 20
#define CNTL_SOCONFIG 23

/* Called by the notification thread: returns the next event mask. */
typedef uint16_t (*QRD_NOTIFY_CALLBACK)(uint32_t eventWord, uint16_t status, void* context);

/* The device call: fills pid, runs the operation, returns the block's status
 * (165 when the device itself fails). */
QRDAPI QRDSTATUS QrdCallSocket(QRD_CNTL_BLOCK* block);

QRDAPI QRDSTATUS QrdOpenSocketEx(uint32_t* socketOut, uint16_t family, uint16_t type,
                                 uint16_t portNumber, QRD_PORT* localPortOut, uint16_t flags,
                                 uint32_t thread);
QRDAPI QRDSTATUS QrdOpenSocket(uint32_t* socketOut, uint16_t family, uint16_t type,
                               uint16_t portNumber, QRD_PORT* localPortOut, uint16_t flags);
QRDAPI QRDSTATUS QrdSocketSendEx(QRD_SOCK_REQ* req, uint32_t thread);
QRDAPI QRDSTATUS QrdSocketSend(QRD_SOCK_REQ* req);
QRDAPI QRDSTATUS QrdSocketReceiveEx(QRD_SOCK_REQ* req, uint32_t thread);
QRDAPI QRDSTATUS QrdSocketReceive(QRD_SOCK_REQ* req);
QRDAPI QRDSTATUS QrdCloseSocketEx(uint32_t socket, uint32_t thread);
QRDAPI QRDSTATUS QrdCloseSocket(uint32_t socket);
QRDAPI QRDSTATUS QrdSocketWaitEx(uint32_t a, uint16_t b, uint32_t thread);
QRDAPI QRDSTATUS QrdSocketWait(uint32_t a, uint16_t b);
QRDAPI QRDSTATUS QrdSocketNotifyWindow(void* window, uint16_t message);
QRDAPI QRDSTATUS QrdSocketNotify(QRD_NOTIFY_CALLBACK callback, void* context, uint16_t mask);
QRDAPI QRDSTATUS QrdIsDialin(void* out);
QRDAPI QRDSTATUS soioctl(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t e, uint32_t f);
QRDAPI QRDSTATUS soconfig(uint32_t code, uint32_t a, uint32_t b);
QRDAPI QRDSTATUS QrdCancelSocketRequestEx(QRD_SOCK_REQ* req, uint32_t thread);
QRDAPI QRDSTATUS QrdCancelSocketRequest(QRD_SOCK_REQ* req);
QRDAPI QRDSTATUS QrdThreadDoneEx(uint32_t thread);
QRDAPI QRDSTATUS QrdGetNicAddress(uint8_t* buffer, uint16_t* lengthInOut);

QRDAPI QRDSTATUS QrdSetPortNull(QRD_PORT* port);
QRDAPI QRDSTATUS QrdCopyPort(const QRD_PORT* src, QRD_PORT* dst);
QRDAPI uint16_t QrdComparePorts(const QRD_PORT* a, const QRD_PORT* b);
QRDAPI QRDSTATUS QrdGetPortFields(const QRD_PORT* port, uint16_t* family, uint32_t* network,
                                  uint16_t* subnet, uint16_t* portNumber, uint8_t* octet10,
                                  uint8_t* octet11, uint32_t* word12);
QRDAPI QRDSTATUS QrdSetPortFields(const uint16_t* family, const uint32_t* network,
                                  const uint16_t* subnet, const uint16_t* portNumber,
                                  const uint8_t* octet10, const uint8_t* octet11,
                                  const uint32_t* word12, QRD_PORT* port);
QRDAPI const char* QrdAddrToStr(const QRD_PORT* port);

QRDAPI uint16_t QrdGetProtocolAvail(void);
QRDAPI QRDSTATUS QrdSetProtocolAvail(uint16_t mask);
QRDAPI uint16_t QrdGetProtocolPref(void);
QRDAPI QRDSTATUS QrdSetProtocolPref(uint16_t pref);

/* countInOut: capacity of `entries` in, number filled out. */
QRDAPI QRDSTATUS QrdGetNetAddrs(QRD_NET_ADDR* entries, uint16_t* countInOut);
QRDAPI QRDSTATUS QrdCreateLocalWkp(uint16_t wellKnownPort, QRD_PORT* portOut);

/* Unified sockets of the RPC layer: family 3 goes to the device operations,
 * any other family to the Internet road. */
QRDAPI QRDSTATUS RpcOpenSocket(uint32_t* socketOut, uint16_t family, uint16_t kind,
                               uint16_t portNumber, QRD_PORT* localPortOut, uint16_t flags);
QRDAPI QRDSTATUS RpcSocketSend(uint16_t family, uint16_t kind, QRD_SOCK_REQ* req);
QRDAPI QRDSTATUS RpcSocketReceive(uint16_t family, uint16_t kind, QRD_SOCK_REQ* req);
QRDAPI QRDSTATUS RpcSocketWait(uint32_t a, uint16_t b);
QRDAPI QRDSTATUS RpcCloseSocket(uint32_t socket, uint16_t family);
/* Takes a socket-library error number (10004 ...), see the table of statuses. */
QRDAPI QRDSTATUS QrdMapIpErrno(int error);

/* ------------------------------------------------------------------------
 * Remote procedure calls
 * --------------------------------------------------------------------- */
#pragma pack(push, 1)
/* The stub's control record: _CallRemoteDg stores the reply's result offset
 * (4) at offset 4 and the reply's length at offset 0. */
typedef struct QRD_RPC_CONTROL {
    uint32_t replyLength;
    uint16_t resultOffset;
    uint16_t spare;
} QRD_RPC_CONTROL;
#pragma pack(pop)
QRD_STATIC_ASSERT(sizeof(QRD_RPC_CONTROL) == 8, "RPC control record is 8 bytes");

#define QRD_RPC_HEADER 12
#define QRD_RPC_CALL 0
#define QRD_RPC_REFUSED 1
#define QRD_RPC_RETURN 2
#define QRD_RPC_REFUSED2 3

/* requestBuffer: allocated with malloc by the caller (12 + arguments), always
 * freed here; on success replaced by the reply (malloc'd, the caller frees). */
QRDAPI QRDSTATUS _CallRemoteDg(const QRD_PORT* port, uint16_t procedure, uint8_t** requestBuffer,
                               QRD_RPC_CONTROL* control, uint32_t requestLength, int32_t timeout,
                               uint16_t version, uint32_t sizeHint);
QRDAPI void _Header(uint8_t* buffer, uint16_t type, uint16_t procedure, uint16_t value);
QRDAPI QRDSTATUS QrdGetNetrpcTimeOutValues(const QRD_PORT* port, uint32_t* first, uint32_t* second,
                                           uint32_t* third);
QRDAPI QRDSTATUS QrdSetNetrpcTimeOutValues(const QRD_PORT* port, uint32_t first, uint32_t second,
                                           uint32_t third);
/* Returns the previous mask. 2 = socket errors, 4 = daemon, 8 = each call. */
QRDAPI uint16_t QrdTaskDebug(uint16_t mask);

/* ------------------------------------------------------------------------
 * Namewright sessions and names
 * --------------------------------------------------------------------- */
#define NMNAMELEN 64
#define QRD_WILDCARDS_OK 1
#define QRD_NO_WILDCARDS 0
#define QRD_NMKIND_ORG 100
#define QRD_NMKIND_GROUP 200
#define OBJTYPE 300
#define QRD_SVC_NAMEWRIGHT 15
#define QRD_SVC_MESSAGE 19

#pragma pack(push, 1)
/* The login credential: 6 opaque bytes and two words (host order here,
 * big-endian on the wire). word1 is 0 when nobody is logged in. */
typedef struct QRD_NONCE {
    uint8_t opaque[6];
    uint32_t word1;
    uint32_t word2;
} QRD_NONCE;

/* Session record: 28 bytes in the 32-bit layout, 32 here (8-byte pointer). */
typedef struct QRD_NM_SESS {
    QRD_PORT port;
    uint8_t id[4];
    uint16_t charset;
    uint16_t active;
    QRD_NONCE* nonce; /* NULL: the nonce of the current login */
} QRD_NM_SESS;
#pragma pack(pop)
QRD_STATIC_ASSERT(sizeof(QRD_NONCE) == 14, "nonce is 14 bytes");
QRD_STATIC_ASSERT(sizeof(QRD_NM_SESS) == 32, "session: 28 + 4 pointer bytes");
QRD_STATIC_ASSERT(offsetof(QRD_NM_SESS, active) == 22, "active flag at 22");

QRDAPI QRDSTATUS QrdGetNonce(QRD_NONCE* nonce);
QRDAPI QRDSTATUS QrdSetNonce(const QRD_NONCE* nonce);

QRDAPI QRDSTATUS QrdInitNmSession(uint16_t charset, QRD_NONCE* nonce, QRD_NM_SESS* sess);
QRDAPI QRDSTATUS QrdStartNmSession(QRD_PORT* port, uint16_t charset, QRD_NONCE* nonce,
                                   QRD_NM_SESS* sess);
QRDAPI QRDSTATUS QrdEndNmSession(QRD_NM_SESS* sess);
QRDAPI QRDSTATUS QrdGetImplicitNmSession(QRD_NM_SESS** sessOut);

QRDAPI QRDSTATUS QrdBreakNmName(const char* name, char* buffer, uint16_t* bufferLength,
                                char** parts, uint16_t* partCount);
QRDAPI QRDSTATUS QrdValidateNmName(uint16_t international, const char* name, uint16_t wildcards);
QRDAPI QRDSTATUS QrdFormatSNmName(QRD_NM_SESS* sess, const char* name, char* out,
                                  uint16_t* outLength);
QRDAPI QRDSTATUS QrdFormatSNmGroup(QRD_NM_SESS* sess, const char* name, char* out,
                                   uint16_t* outLength);
QRDAPI QRDSTATUS QrdFormatSNmOrg(QRD_NM_SESS* sess, const char* name, char* out,
                                 uint16_t* outLength);
QRDAPI QRDSTATUS QrdFormatNmName(const char* name, char* out);
QRDAPI QRDSTATUS QrdFormatNmGroup(const char* name, char* out);
QRDAPI QRDSTATUS QrdFormatNmOrg(const char* name, char* out);
QRDAPI uint16_t QrdHashNmName(const char* name);
QRDAPI QRDSTATUS QrdGetUserName(char* buffer);
QRDAPI QRDSTATUS QrdGetDriveMapping(uint16_t drive, char* fsName, char* root);
/* Version texts ("5.50(28)", "5.50 (Beta-28)") fit in QRD_VERSION_TEXT_LEN
 * bytes. The client version number is QORDA.INI [Client] Version (default
 * 71278). */
#define QRD_VERSION_TEXT_LEN 24
QRDAPI uint32_t QrdGetClientVersionNumber(void);
QRDAPI QRDSTATUS QrdGetClientVersionString(char* text);
QRDAPI QRDSTATUS QrdConvRevToAscii(uint32_t revision, char* text);

/* Service search. The criteria are four (length, text) pairs; NULL texts
 * with length 0 ask for nothing. */
QRDAPI QRDSTATUS QrdFindSvc(uint16_t service, QRD_PORT* portOut, uint8_t flag, uint8_t spread,
                            uint32_t minRevision, uint32_t maxRevision, uint16_t length1,
                            const char* text1, uint16_t length2, const char* text2,
                            uint16_t length3, const char* text3, uint16_t length4,
                            const char* text4);
QRDAPI QRDSTATUS QrdFindSvcMP(uint16_t family, uint16_t service, QRD_PORT* portOut, uint8_t flag,
                              uint8_t spread, uint32_t minRevision, uint32_t maxRevision,
                              uint16_t length1, const char* text1, uint16_t length2,
                              const char* text2, uint16_t length3, const char* text3,
                              uint16_t length4, const char* text4);
QRDAPI QRDSTATUS QrdEasyFindSvc(uint16_t service, QRD_PORT* portOut);
QRDAPI QRDSTATUS QrdCreateSSvrWkp(QRD_NM_SESS* sess, const char* serverName, uint16_t wellKnownPort,
                                  QRD_PORT* portOut);
QRDAPI QRDSTATUS QrdCreateSvrWkp(const char* serverName, uint16_t wellKnownPort, QRD_PORT* portOut);

/* The login exchange: proves the user's password to the Namewright service
 * at `port` without sending it, checks that the service holds the user's
 * verifier (else 1027), and answers the login nonce and the canonical name
 * (64 bytes). It changes no workstation state; the login command stores the
 * result. */
QRDAPI QRDSTATUS QrdNmLogin(const QRD_PORT* port, const char* user, const char* password,
                            QRD_NONCE* nonce, char* canonical);
/* Ends a login nonce at the service that issued it (1025: not valid there). */
QRDAPI QRDSTATUS QrdNmLogout(const QRD_PORT* port, const QRD_NONCE* nonce);

/* The text of a status into a buffer of QRD_ERRTEXT_LEN bytes. */
QRDAPI QRDSTATUS QrdGetErrorText(const QRD_PORT* port, uint16_t code, char* buffer);

/* ------------------------------------------------------------------------
 * Namewright attributes, lists and membership
 * --------------------------------------------------------------------- */
#define QRD_OCL_OBJECT 0
#define QRD_OCL_GROUP 5
#define ATTR_BYTES 1
#define ATTR_RAW 2
#define ATTR_TEXT 3
#define ATTR_INTEGERS 4
#define ATTR_BYTES5 5
#define QRD_ATTR_MORE 0x1    /* read flags: more data follows */
#define QRD_ATTR_REPLACE 0x1 /* write flags on entry: replace the value */
#define QRD_CAT_USER 1
#define QRD_CAT_SERVICE 2
#define QRD_NMREC_MAX 16 /* names in one list reply */

#pragma pack(push, 1)
typedef struct AttrName {
    uint32_t category;
    uint32_t number;
} AttrName;

/* A list reply: kind tag (5 = services), count, then count names. */
typedef struct NmRec {
    uint16_t kind;
    uint16_t count;
    char names[QRD_NMREC_MAX][NMNAMELEN];
} NmRec;

/* Category selector; callers pass the record zeroed. */
typedef struct Catsel {
    uint16_t selector;
    uint8_t record[16];
} Catsel;

/* Continuation of an attribute scan; all zero when complete. */
typedef struct QRD_SCAN_PASS {
    uint8_t bytes[8];
} QRD_SCAN_PASS;
#pragma pack(pop)
QRD_STATIC_ASSERT(sizeof(AttrName) == 8, "AttrName is 8 bytes");
QRD_STATIC_ASSERT(sizeof(NmRec) == 4 + QRD_NMREC_MAX * NMNAMELEN, "NmRec layout");
QRD_STATIC_ASSERT(sizeof(Catsel) == 18, "Catsel is 18 bytes");

QRDAPI QRDSTATUS QrdGetSNmAttr(QRD_NM_SESS* sess, const char* name, uint16_t ocl,
                               const AttrName* attr, uint32_t* ulType, uint32_t* ulIndex,
                               uint32_t* ulCount, void* buffer, uint32_t* ulFlags);
QRDAPI QRDSTATUS QrdSetSNmAttr(QRD_NM_SESS* sess, const char* name, uint16_t ocl,
                               const AttrName* attr, uint32_t ulType, uint32_t* ulIndex,
                               uint32_t ulCount, const void* buffer, uint32_t* ulFlags);
QRDAPI QRDSTATUS QrdDeleteSNmAttr(QRD_NM_SESS* sess, const char* name, uint16_t ocl,
                                  const AttrName* attr);
/* A condition of QrdSetSNmAttrIf: attribute `attr` of the same object holds
 * exactly `length` bytes at `bytes` (QRD_ATTR_ABSENT: has no value). */
#define QRD_ATTR_ABSENT 0xFFFFFFFFu
#define QRD_ATTR_CONDITIONS_MAX 2
typedef struct QRD_ATTR_CONDITION {
    AttrName attr;
    uint32_t length;
    const void* bytes;
} QRD_ATTR_CONDITION;
/* As QrdSetSNmAttr with flags 2 (the value ends after it) at index 0, stored
 * only if every condition holds when the service stores it (checked and
 * stored as one step); otherwise QRDERR_NM_CONDITION_FAILED and nothing
 * changes. */
QRDAPI QRDSTATUS QrdSetSNmAttrIf(QRD_NM_SESS* sess, const char* name, uint16_t ocl,
                                 const AttrName* attr, uint32_t ulType, uint32_t ulCount,
                                 const void* buffer, const QRD_ATTR_CONDITION* conditions,
                                 uint16_t nConditions);
QRDAPI QRDSTATUS QrdGetSNmAttrInfo(QRD_NM_SESS* sess, const char* name, uint16_t ocl,
                                   const AttrName* attr, uint32_t* ulType, uint32_t* ulCount,
                                   uint32_t* ulBytes);
QRDAPI QRDSTATUS QrdScanSNmAttr(QRD_NM_SESS* sess, const char* name, uint16_t ocl,
                                const AttrName* firstAttr, const AttrName* lastAttr,
                                QRD_SCAN_PASS* pass, uint16_t* nCount, AttrName* names);
QRDAPI QRDSTATUS QrdListSNmNames(QRD_NM_SESS* sess, const char* pattern, uint16_t objType,
                                 uint16_t category, Catsel* catsel, uint16_t* uPassnum, NmRec* rec);
QRDAPI QRDSTATUS QrdGetSNmListMembers(QRD_NM_SESS* sess, const char* listName, uint16_t* uPassnum,
                                      NmRec* rec);
QRDAPI QRDSTATUS QrdTestSNmMembership(QRD_NM_SESS* sess, const char* objName, const char* listName,
                                      uint16_t flag, uint16_t* isMember);
QRDAPI QRDSTATUS QrdGetSNmUserAttrib(QRD_NM_SESS* sess, const char* name, char* description,
                                     uint16_t* descriptionLength, uint8_t* address6,
                                     uint16_t* word1, uint16_t* word2, uint32_t* long1,
                                     uint32_t* long2);
QRDAPI QRDSTATUS QrdSendUserMsg(const char* recipient, const char* text);
/* The server that holds a group (64-byte server name out). */
QRDAPI QRDSTATUS QrdGetSNmGroup(QRD_NM_SESS* sess, const char* groupName, char* serverName);
/* A server's long revision (procedure 65 of its Namewright service). */
QRDAPI QRDSTATUS QrdGetSvrLRev(const QRD_PORT* port, uint32_t* revision);

/* The same on the process's implicit session. */
QRDAPI QRDSTATUS QrdGetNmAttr(const char* name, uint16_t ocl, const AttrName* attr,
                              uint32_t* ulType, uint32_t* ulIndex, uint32_t* ulCount, void* buffer,
                              uint32_t* ulFlags);
QRDAPI QRDSTATUS QrdSetNmAttr(const char* name, uint16_t ocl, const AttrName* attr, uint32_t ulType,
                              uint32_t* ulIndex, uint32_t ulCount, const void* buffer,
                              uint32_t* ulFlags);
QRDAPI QRDSTATUS QrdDeleteNmAttr(const char* name, uint16_t ocl, const AttrName* attr);
QRDAPI QRDSTATUS QrdGetNmAttrInfo(const char* name, uint16_t ocl, const AttrName* attr,
                                  uint32_t* ulType, uint32_t* ulCount, uint32_t* ulBytes);
QRDAPI QRDSTATUS QrdScanNmAttr(const char* name, uint16_t ocl, const AttrName* firstAttr,
                               const AttrName* lastAttr, QRD_SCAN_PASS* pass, uint16_t* nCount,
                               AttrName* names);
QRDAPI QRDSTATUS QrdListNmNames(const char* pattern, uint16_t objType, uint16_t category,
                                Catsel* catsel, uint16_t* uPassnum, NmRec* rec);
QRDAPI QRDSTATUS QrdGetNmListMembers(const char* listName, uint16_t* uPassnum, NmRec* rec);
QRDAPI QRDSTATUS QrdTestNmMembership(const char* objName, const char* listName, uint16_t flag,
                                     uint16_t* isMember);
QRDAPI QRDSTATUS QrdGetNmUserAttrib(const char* name, char* description,
                                    uint16_t* descriptionLength, uint8_t* address6, uint16_t* word1,
                                    uint16_t* word2, uint32_t* long1, uint32_t* long2);

/* ------------------------------------------------------------------------
 * NMDA: directory assistance (searching and paging through the directory)
 * --------------------------------------------------------------------- */
#define QRD_NMDA_WKP 22              /* the service's well-known port (native road) */
#define QRD_NMDA_SESSION_WKP 23      /* port number kept at offset 14 of a handle */
#define QRD_SVC_NMDA 35              /* the service's number on the Internet road */
#define QRD_NMDA_SVC_REVISION 100    /* the revision it answers searches with */
#define QRD_NMDA_REVISION 55028      /* revision a session assumes */
#define QRD_NMDA_LOCATE_LEN 98       /* the locate datagram */
#define QRD_NMDA_PATTERN_LEN 16      /* pattern field of the locate datagram */
#define QRD_NMDA_TEXT_LEN 32         /* position text of a query context */
#define QRD_NMDA_PAGE 7              /* names on a browser page */
#define QRD_NMDA_MAX_ENTRIES 16      /* capacity of a result record */
#define QRD_NMDA_MAX_CRITERIA 8      /* criteria of a query record */
#define QRD_NMDA_ATTR_VALUE_MAX 4096 /* value bytes of an attribute record */
#define QRD_NMDA_ATTR_LIMIT 5000     /* answer limit of an attribute query */
#define QRD_NMDA_DEFAULT_PATTERN "*@*@*"
#define QRD_NMDA_SERVICE_LEN 256  /* buffer of QrdGetDefaultNmdaService */
#define QRD_PROFILE_KEY_LEN 16    /* profile keywords are shorter */
#define QRD_PROFILE_VALUE_LEN 128 /* value and second text of a profile entry */
#define QRD_PROFILE_SETNMDA "!SETNMDA"

/* Character codes of a session (byte 46 of the handle). */
#define QRD_NMDA_CHARS_ASCII 3 /* incoming Latin-1 texts become ASCII */
#define QRD_NMDA_CHARS_PCM 4   /* PC code page out as Latin-1, in back to it */
#define QRD_NMDA_CHARS_NONE 5  /* no conversion (what a session starts with) */

/* Query operations and the position that stands for "just beside the
 * current page". Relative positions are 0-100. */
#define QRD_NMDA_OP_FIRST 1
#define QRD_NMDA_OP_LAST 2
#define QRD_NMDA_OP_NEXT 3
#define QRD_NMDA_OP_PREVIOUS 4
#define QRD_NMDA_OP_AT_TEXT 5
#define QRD_NMDA_POS_BESIDE 101

/* Name kinds (the rows of the browser's "Look in:" list). */
#define QRD_NMDA_KIND_USERS 0
#define QRD_NMDA_KIND_LISTS 1
#define QRD_NMDA_KIND_PRINT 2
#define QRD_NMDA_KIND_FILE 3
#define QRD_NMDA_KIND_SERVICES 4
#define QRD_NMDA_KIND_NICKNAMES 5
#define QRD_NMDA_KIND_COUNT 6

/* Criterion matches and value kinds. */
#define QRD_NMDA_MATCH_PATTERN 2 /* the text holds '*' or '?' */
#define QRD_NMDA_MATCH_EXACT 3
#define QRD_NMDA_VALUE_TEXT 3
/* The attribute that stands for a name's description in a criterion. */
#define QRD_NMDA_DESC_CATEGORY 0
#define QRD_NMDA_DESC_NUMBER 1

/* Entry and attribute statuses in result and attribute records. */
#define NMDA_ENTRY_STAT_FOUND 0
#define NMDA_ENTRY_STAT_GONE 1
#define NMDA_ATTR_STAT_NORMAL 0
#define NMDA_ATTR_STAT_NOEXIST 1
#define NMDA_ATTR_STAT_TRUNC 2

#define QRDERR_NM_KEYWORD_TOO_LONG 1052
#define QRDERR_NM_NO_USER_NAME 1832
#define QRDERR_NMDA_LOGIN_CHANGED 1912
#define QRDERR_NMDA_NO_ENTRY 1914
#define QRDERR_NMDA_ENTRY_STATUS 1915

#pragma pack(push, 1)
/* The session block (51 bytes). A handle stands for one; each call locks it
 * for its duration, so a handle may be used by several threads. */
typedef struct QRD_NMDA_SESSION {
    QRD_NONCE nonce;   /* the login at the time the session started */
    QRD_PORT svcPort;  /* the service; port number 23 on the native road */
    QRD_PORT rpcPort;  /* where the queries (procedure 7) go */
    uint8_t charCode;  /* QRD_NMDA_CHARS_* */
    uint32_t revision; /* QRD_NMDA_REVISION */
} QRD_NMDA_SESSION;

/* Query context: read and updated by the service on every data query.
 * firstKey and lastKey name the current page's first and last names; the
 * service pages from them (next, previous) so that a page stays right when
 * names are added or removed between two queries. Callers start them
 * empty and pass them back unchanged. */
typedef struct QRD_NMDA_CONTEXT {
    uint16_t operation;                   /* QRD_NMDA_OP_* */
    uint16_t kind;                        /* QRD_NMDA_KIND_* */
    uint16_t pageSize;                    /* names wanted; QRD_NMDA_PAGE from the browser */
    uint16_t forward;                     /* position of the page's first name, or 101 */
    uint16_t backward;                    /* position of the page's last name, or 101 */
    char positionText[QRD_NMDA_TEXT_LEN]; /* operation 5; not NUL-terminated when full */
    char firstKey[NMNAMELEN];
    char lastKey[NMNAMELEN];
} QRD_NMDA_CONTEXT;

/* One criterion: 18 bytes in the 32-bit layout, 22 here (8-byte pointer).
 * The attribute {0, 1} is the name's description. */
typedef struct QRD_NMDA_CRITERION {
    uint16_t match;     /* QRD_NMDA_MATCH_* */
    AttrName attr;      /* which attribute's text is compared */
    uint16_t valueKind; /* QRD_NMDA_VALUE_TEXT */
    uint16_t length;    /* of the text, NUL included */
    const char* text;
} QRD_NMDA_CRITERION;

/* Search query: the name pattern at 4, the criteria count at 68, the
 * criteria from 70 (their pointers make the record 246 bytes here). */
typedef struct QRD_NMDA_QUERY {
    uint16_t attributeIndex; /* attribute queries only */
    uint16_t selector;       /* attribute queries only */
    char pattern[NMNAMELEN]; /* "" stands for "*@*@*" */
    uint16_t criteriaCount;
    QRD_NMDA_CRITERION criteria[QRD_NMDA_MAX_CRITERIA];
} QRD_NMDA_QUERY;

typedef struct QRD_NMDA_LIMITS {
    uint16_t flags;      /* 0 */
    uint16_t maxEntries; /* at most QRD_NMDA_MAX_ENTRIES */
    uint32_t maxBytes;   /* 0: no limit of its own */
} QRD_NMDA_LIMITS;

typedef struct QRD_NMDA_ENTRY {
    char name[NMNAMELEN];
    uint16_t status;   /* NMDA_ENTRY_STAT_* */
    uint16_t kind;     /* QRD_NMDA_KIND_* of the name */
    uint16_t descKind; /* QRD_NMDA_VALUE_TEXT when description holds text */
    char description[NMNAMELEN];
} QRD_NMDA_ENTRY;

typedef struct QRD_NMDA_RESULT {
    uint16_t count;
    QRD_NMDA_ENTRY entries[QRD_NMDA_MAX_ENTRIES];
} QRD_NMDA_RESULT;

/* An attribute of one name. In: type (value type wanted, 0 = any) and
 * position (first element). Out: the rest. */
typedef struct QRD_NMDA_ATTR {
    char name[NMNAMELEN];
    uint16_t status; /* NMDA_ATTR_STAT_* */
    uint16_t type;   /* 1-5 */
    uint32_t position;
    uint32_t count;                         /* elements in value */
    uint8_t value[QRD_NMDA_ATTR_VALUE_MAX]; /* type 4: u32 in host order */
} QRD_NMDA_ATTR;
#pragma pack(pop)
QRD_STATIC_ASSERT(sizeof(QRD_NMDA_SESSION) == 51, "NMDA session block is 51 bytes");
QRD_STATIC_ASSERT(offsetof(QRD_NMDA_SESSION, rpcPort) == 30, "RPC port at 30");
QRD_STATIC_ASSERT(offsetof(QRD_NMDA_SESSION, revision) == 47, "revision at 47");
QRD_STATIC_ASSERT(offsetof(QRD_NMDA_CONTEXT, positionText) == 10, "position text at 10");
QRD_STATIC_ASSERT(sizeof(QRD_NMDA_CONTEXT) == 170, "context is 170 bytes");
QRD_STATIC_ASSERT(sizeof(QRD_NMDA_CRITERION) == 22, "criterion: 18 + 4 pointer bytes");
QRD_STATIC_ASSERT(offsetof(QRD_NMDA_QUERY, pattern) == 4, "pattern at 4");
QRD_STATIC_ASSERT(offsetof(QRD_NMDA_QUERY, criteriaCount) == 68, "criteria count at 68");
QRD_STATIC_ASSERT(offsetof(QRD_NMDA_QUERY, criteria) == 70, "criteria from 70");
QRD_STATIC_ASSERT(sizeof(QRD_NMDA_QUERY) == 70 + QRD_NMDA_MAX_CRITERIA * 22, "query: 246 bytes");
QRD_STATIC_ASSERT(sizeof(QRD_NMDA_LIMITS) == 8, "limits are 8 bytes");
QRD_STATIC_ASSERT(sizeof(QRD_NMDA_ENTRY) == 134, "result entry is 134 bytes");
QRD_STATIC_ASSERT(sizeof(QRD_NMDA_RESULT) == 2 + QRD_NMDA_MAX_ENTRIES * 134, "result record");
QRD_STATIC_ASSERT(sizeof(QRD_NMDA_ATTR) == 76 + QRD_NMDA_ATTR_VALUE_MAX, "attribute record");

typedef struct QrdNmdaHandle* QRD_NMDA_HANDLE;

/* servicePort NULL: search for a service. The handle is freed by
 * QrdEndNmdaSession. */
QRDAPI QRDSTATUS QrdStartNmdaSession(const QRD_PORT* servicePort, QRD_NMDA_HANDLE* handle);
QRDAPI QRDSTATUS QrdEndNmdaSession(QRD_NMDA_HANDLE handle);
/* A copy of the handle's session block. */
QRDAPI QRDSTATUS QrdGetNmdaSession(QRD_NMDA_HANDLE handle, QRD_NMDA_SESSION* block);
/* Sets the character code (3, 4 or 5) of a session. */
QRDAPI QRDSTATUS QrdSetNmdaCharCode(QRD_NMDA_HANDLE handle, uint8_t code);

/* Locates (search 1: broadcast; 0: ask `port`) an NMDA service whose name
 * matches `pattern` (QRD_NMDA_PATTERN_LEN bytes in, the service's short
 * name out; "" = any). On success `port` holds the service's port,
 * serviceName (NMNAMELEN bytes) its full name, *word the reply word. With
 * `socketOut` NULL the call only probes: the socket is closed; otherwise
 * the caller closes it with QrdCloseSocket. timeout in ticks. */
QRDAPI QRDSTATUS QrdOpenNmdaSocket(QRD_PORT* port, uint16_t search, char* pattern,
                                   char* serviceName, uint32_t timeout, uint8_t spread,
                                   uint32_t* socketOut, uint32_t* word);

/* Data query (procedure 7): context, query and limits go out; the context
 * comes back updated and the page lands in result. */
QRDAPI QRDSTATUS QrdGetNmdaData(QRD_NMDA_HANDLE handle, QRD_NMDA_CONTEXT* context,
                                QRD_NMDA_QUERY* query, const QRD_NMDA_LIMITS* limits,
                                QRD_NMDA_RESULT* result);
/* Attribute query (procedure 7): attribute {attributeIndex, selector} of
 * `name`; record->type and record->position in, the value out. */
QRDAPI QRDSTATUS QrdGetNmdaAttr(QRD_NMDA_HANDLE handle, const char* name, uint32_t attributeIndex,
                                uint32_t selector, QRD_NMDA_ATTR* record);

/* The default service's name (QRD_NMDA_SERVICE_LEN bytes, may be NULL) and
 * the status of its resolution. */
QRDAPI QRDSTATUS QrdGetDefaultNmdaService(char* name);
/* The RPC port of a named service (NMNAMELEN bytes, replaced by its
 * canonical name) through the implicit session; flags 0. */
QRDAPI QRDSTATUS QrdGetRpcPort(char* serviceName, QRD_PORT* port, uint16_t flags);
/* The name (NMNAMELEN bytes) of the server at a port. */
QRDAPI QRDSTATUS QrdGetSvrName(const QRD_PORT* port, char* nameOut);
/* 1 when the workstation's network client runs (its comm-stack device takes
 * native sockets), else 0. The first answer is kept for the process and given
 * at once to calls with 0 seconds; a call with n seconds asks up to n + 1
 * times, one second apart, and keeps the last answer. */
QRDAPI int QrdIsClientRunning(uint32_t seconds);
/* One entry of a user's profile: value and second text, QRD_PROFILE_VALUE_LEN
 * bytes each (second may be NULL). */
QRDAPI QRDSTATUS QrdGetNmProfileEntry(const char* name, const char* keyword, char* value,
                                      char* second);

/* ------------------------------------------------------------------------
 * Character sets: in place on a NUL-terminated text; bytes below 0x80 stay.
 * Session codes: 0 ASCII, 1 and 2 Latin-1, 3 PC code page, 4 and 5 none.
 * --------------------------------------------------------------------- */
#define QRD_CHARSET_ASCII 0
#define QRD_CHARSET_LATIN1 1
#define QRD_CHARSET_PCM 3

QRDAPI void QrdConvLatin1ToAscii(char* text);
QRDAPI void QrdConvLatin1ToUpAscii(char* text);
QRDAPI void QrdConvLatin1ToPcm(char* text);
QRDAPI void QrdConvPcmToLatin1(char* text);
QRDAPI void QrdConvPcmToAscii(char* text);

#ifdef __cplusplus
}
#endif

#endif /* QRDAPI_H */
