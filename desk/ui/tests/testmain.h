// The main of the window tests: the offscreen platform unless the caller
// chose one, so that the tests never need a display; --help answers before
// any window system starts.
#pragma once

#include "testenv.h"

#include <QApplication>
#include <QtTest>

#define DESK_TEST_MAIN(TestClass)                                                                  \
    int main(int argc, char** argv) {                                                              \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                                        \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                               \
        for (int i = 1; i < argc; ++i)                                                             \
            if (qstrcmp(argv[i], "--help") == 0 || qstrcmp(argv[i], "-help") == 0) {               \
                TestClass test;                                                                    \
                return QTest::qExec(&test, argc, argv);                                            \
            }                                                                                      \
        QApplication app(argc, argv);                                                              \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        TestClass test;                                                                            \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }

// The same for tests against a daemon: the process first gets a workstation
// of its own (its own QORDA.INI, port base, login store and settings).
#define DESK_DAEMON_TEST_MAIN(TestClass)                                                           \
    int main(int argc, char** argv) {                                                              \
        qrdtest::prepareAndReexec(argc, argv);                                                     \
        qrdtest::adoptWorkstation();                                                               \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                                        \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                               \
        QApplication app(argc, argv);                                                              \
        TestClass test;                                                                            \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
