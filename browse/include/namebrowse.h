/*
 * namebrowse.h - the directory browser's dialogs (libnamebrowse.so).
 *
 * Each function opens the modal "Namewright Browser", in which the person
 * searches the directory-assistance service for names, and returns a status
 * (0 on success; the client API's statuses of qrdapi.h otherwise). Call them
 * on the thread that runs the program's Qt event loop; a program without a
 * QApplication gets one for the length of the call, and a call from another
 * thread, or beside a QCoreApplication, is refused with 100.
 *
 * kinds: bit n offers row n of "Look in:" (bit 0 Users, 1 Lists, 2 Print
 * services, 3 File services, 4 All services, 5 Nicknames); 0 offers all six.
 * mode: bit 0 withholds "View attributes", bit 1 "Find by attribute".
 * title, avdFile: NULL or "" keep the window's title and the attribute
 * definition file's default path (z:\messages\qorda.avd, through the drive
 * mapping of QORDA.INI).
 * dialogResult (may be NULL): 1 when the person chose OK, 2 otherwise.
 * Names are UTF-8.
 */
#ifndef NAMEBROWSE_H
#define NAMEBROWSE_H

#include "qrdapi.h"

#ifdef __cplusplus
#include <string>
#include <vector>
extern "C" {
#endif

#define NAMEBROWSE_API __attribute__((visibility("default")))

#define QRDERR_BROWSE_NO_BUFFER 57 /* no buffer for the name (or the list) */
#define QRD_BROWSE_NAME_LEN 64     /* the name buffer holds at least this */
#define QRD_BROWSE_MODE_NO_VIEW 1
#define QRD_BROWSE_MODE_NO_FIND 2
#define QRD_BROWSE_OK 1
#define QRD_BROWSE_CANCEL 2

/* One name. *nameLength: the buffer's size in (at least 64, else 1080), the
 * name's length out. On OK the name (cut to 63 bytes and a terminator);
 * otherwise "" and 0. NULL name: 57. */
NAMEBROWSE_API QRDSTATUS QrdDlgBrowseNmdaSingleSelect1(long kinds, long mode, const char* title,
                                                       int* dialogResult, char* name,
                                                       unsigned* nameLength, const char* avdFile);
/* The same with every kind and every button; `reserved` is not used. */
NAMEBROWSE_API QRDSTATUS QrdDlgBrowseNmdaSingleSelect(long reserved, const char* title,
                                                      int* dialogResult, char* name,
                                                      unsigned* nameLength, const char* avdFile);

#ifdef __cplusplus
/* Several names: `names` is emptied, then receives every name chosen (on OK).
 * NULL names: 57. */
NAMEBROWSE_API QRDSTATUS QrdDlgBrowseNmdaMultiSelect1(long kinds, long mode, const char* title,
                                                      int* dialogResult,
                                                      std::vector<std::string>* names,
                                                      const char* avdFile);
}
#endif

#endif /* NAMEBROWSE_H */
