/* libdeskinstall.so: through it, setup programs add their programs to the
 * user's desktop action library, test whether an action is installed,
 * remove actions and count them.
 *
 * Finding the store. The library does not link the directory object store:
 * it loads libnamedir.so on first use and calls its plain entry points
 * (namedir_flat.h). The machine's registry file says where the store is
 * ($QRD_SYSCONF_DIR/registry.ini, default /etc/namewright/registry.ini):
 *
 *   [SOFTWARE\Halvex Applications\Namewright Desktop\Directory\Namewright]
 *   Path=libnamedir.so             the store's file name
 *   [SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\namedir.DLL]
 *   Path=/usr/local/lib            its folders, separated by ":" or ";"
 *
 * The store stays loaded until the process ends; a load that failed is tried
 * again by the next call. Every call works for the user logged in on the
 * workstation (qrdlogin).
 *
 * Reporting. The library opens no windows. What it has to tell a person -
 * an error, or the question whether to replace an installed action - goes to
 * the reporter its caller sets with QrdNmdSetReporter. Without one, errors
 * are written to standard error and the question is answered No, so that an
 * installed action is never replaced unasked.
 *
 * Texts are UTF-8. Any thread may call; calls are serialised inside.
 */
#ifndef DESKINSTALL_H
#define DESKINSTALL_H

#define DESKINSTALL_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

typedef struct QrdNmdReporter {
    /* A Yes/No question; return nonzero for Yes. Null answers No. */
    int (*ask)(void* context, const char* caption, const char* text);
    /* An operation failed. `text` is the message for people; `detail` says
     * what the system reported, or is empty. Null reports nothing. */
    void (*error)(void* context, const char* caption, const char* text, const char* detail);
    void* context;
} QrdNmdReporter;

/* Replaces the process's reporter (copied); null restores the default. */
DESKINSTALL_API void QrdNmdSetReporter(const QrdNmdReporter* reporter);

/* Creates one action per section of an action definition file. A command
 * beginning with "~" has the "~" replaced by `installDirectory` (may be
 * null). Returns the number of actions created: 0 as well when the store
 * cannot be loaded, `fileName` is null, or the file cannot be read. */
DESKINSTALL_API int QrdNmdCreateActions(const char* fileName, const char* installDirectory);

/* Creates one action from values; `showModeName` ("SW_SHOWNORMAL", ...) and
 * `capabilitiesText` ("Doc Web", ...) are read as in a definition file. An
 * installed action of the same name is replaced only when the reporter
 * answers Yes. Returns 1 on success, 0 otherwise. */
DESKINSTALL_API int QrdNmdCreateAction1(const char* name, const char* command,
                                        const char* description, const char* startDirectory,
                                        const char* showModeName, const char* capabilitiesText,
                                        long shared, long initial, long iconIndex,
                                        const char* installDirectory);

/* 1 when the shared or personal library holds an action of exactly this
 * name; 0 when it holds none, or when the library cannot be read (reported). */
DESKINSTALL_API int QrdNmdIsActionInstalled(const char* name);

/* Removes every action of this name and deletes its object. 1 on success
 * (also when none was installed), 0 on failure, -1 when the store cannot be
 * loaded. */
DESKINSTALL_API int QrdNmdRemoveAction(const char* name);

/* The number of entries in both libraries, or -1 on failure. */
DESKINSTALL_API long QrdNmdGetInstalledActionCount(void);

#ifdef __cplusplus
}
#endif

#endif
