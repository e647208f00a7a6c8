/* Plain C entry points of libnamedir.so, for programs that load the store at
 * run time by name (dlopen and dlsym) and keep actions without its classes.
 *
 * Conventions:
 * - Every function works on one directory object per process, made on first
 *   use (or by DIRLoadDirectory) and deleted by DIRUnloadDirectory. Any
 *   thread may call; each uses its own Namewright session.
 * - Functions that return int give nonzero on success; on failure they write
 *   a store error code (namedir/errors.h; text: DIRErrorText) through
 *   `error`, which may be null when the caller does not want it. The client
 *   status of the calling thread's last failed exchange is read (and reset)
 *   by DIRGetLastQordaError.
 * - Objects are named by their unique keys ("holder<52:number:hextime>").
 * - Texts are UTF-8. Nothing a caller passes is kept after the call, and
 *   nothing the store allocates is handed to the caller: names are lent to a
 *   callback for the duration of the call.
 * - No exception and no abort leaves these functions.
 */
#ifndef NAMEDIR_FLAT_H
#define NAMEDIR_FLAT_H

#include <stdint.h>

#define NAMEDIR_FLAT_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* An action to create (DIRcreateActionNode). Null texts count as empty. */
typedef struct DIRActionDefinition {
    const char* name;
    const char* commandLine;
    const char* description;
    const char* startDirectory;
    long shared;       /* 1: in the login group's shared library; 0: personal */
    long initial;      /* 0/1 */
    long showMode;     /* show command the program starts with (1: normal) */
    long capabilities; /* mask of the object types the action applies to */
    long iconIndex;
} DIRActionDefinition;

/* A library entry to add (DIRaddActionToLibrary). */
typedef struct DIRActionEntry {
    const char* key; /* unique key of the action object */
    const char* name;
    long objectType; /* 64 for an action */
    long refValue;   /* the action's capabilities */
    long shared;     /* 1: shared library; 0: personal */
    uint32_t time;   /* creation time of the action object */
    const char* refText;
    uint32_t modified; /* modification time of the action object */
} DIRActionEntry;

/* Receives one name; `name` is valid during the call only. */
typedef void (*DIRNameSink)(const char* name, void* context);

/* Makes the process's directory object when there is none; nonzero when it
 * exists afterwards (0 only when memory ran out). */
NAMEDIR_FLAT_API int DIRLoadDirectory(void);
/* Deletes the process's directory object; calls in progress finish first. */
NAMEDIR_FLAT_API void DIRUnloadDirectory(void);

/* Creates an action object and adds it to the shared or personal library.
 * When the library cannot be updated the object is destroyed again. */
NAMEDIR_FLAT_API int DIRcreateActionNode(const DIRActionDefinition* definition, long* error);
/* Destroys the object with this key and frees its attribute number. */
NAMEDIR_FLAT_API int DIRdestroyNode(const char* key, long* error);
/* Adds an entry to the library its `shared` names, replacing entries with the
 * same key. */
NAMEDIR_FLAT_API int DIRaddActionToLibrary(const DIRActionEntry* entry, long* error);
/* Removes every entry with this key from both libraries. */
NAMEDIR_FLAT_API int DIRremoveActionFromLibrary(const char* key, long* error);
/* Calls `sink` with the name of every action in the library, the shared ones
 * first. */
NAMEDIR_FLAT_API int DIRgetActionLibrary(DIRNameSink sink, void* context, long* error);
/* Removes every action whose name is exactly `name` from the library and
 * destroys its object; stops at the first failure. A name that is not
 * installed succeeds and changes nothing. */
NAMEDIR_FLAT_API int DIRRemoveAction(const char* name, long* error);
/* The number of entries in both libraries, or -1 when they cannot be read. */
NAMEDIR_FLAT_API long DIRGetInstalledActionCount(long* error);
/* The calling thread's last client status (0: none); reading resets it. */
NAMEDIR_FLAT_API uint16_t DIRGetLastQordaError(void);

/* The same as pointer types, for dlsym. */
typedef int (*DIRLoadDirectoryFn)(void);
typedef void (*DIRUnloadDirectoryFn)(void);
typedef int (*DIRcreateActionNodeFn)(const DIRActionDefinition*, long*);
typedef int (*DIRdestroyNodeFn)(const char*, long*);
typedef int (*DIRaddActionToLibraryFn)(const DIRActionEntry*, long*);
typedef int (*DIRremoveActionFromLibraryFn)(const char*, long*);
typedef int (*DIRgetActionLibraryFn)(DIRNameSink, void*, long*);
typedef int (*DIRRemoveActionFn)(const char*, long*);
typedef long (*DIRGetInstalledActionCountFn)(long*);
typedef uint16_t (*DIRGetLastQordaErrorFn)(void);

#ifdef __cplusplus
}
#endif

#endif
