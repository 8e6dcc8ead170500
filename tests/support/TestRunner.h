#pragma once
// Force-included ahead of every tests/<area>/tst_*.cpp (see tests/CMakeLists.txt). The test files
// of an area link into one program, so QTEST_MAIN, QTEST_GUILESS_MAIN and QTEST_APPLESS_MAIN no
// longer define main(): they register the class with that program's runner (TestRunnerMain.cpp),
// which runs one class per process when named, as ctest does, or all of them.
#include <QtTest/QtTest>
#include <QtWidgets/QApplication>

namespace TestRunner {

using Run = int (*)(int argc, char **argv);
// Registers the class of a test file; file is its __FILE__, meta the class's meta-object (its test
// functions, for running part of them). Returns true, for a static initialiser.
bool add(const char *file, const char *className, Run run, const QMetaObject *meta);

} // namespace TestRunner

// The body is Qt's own: the application object the macro names, initMain(), then qExec().
#define TARVIKS_TEST_CLASS(TestObject, ...)                                                                           \
    static int tarviksRunTest_##TestObject(int argc, char **argv)                                                     \
    {                                                                                                                 \
        QT_PREPEND_NAMESPACE(QTest::Internal::callInitMain)<TestObject>();                                           \
        __VA_ARGS__                                                                                                   \
        TestObject tc;                                                                                                \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                    \
        return QTest::qExec(&tc, argc, argv);                                                                         \
    }                                                                                                                 \
    [[maybe_unused]] static const bool tarviksTestAdded_##TestObject =                                                \
        ::TestRunner::add(__FILE__, #TestObject, &tarviksRunTest_##TestObject, &TestObject::staticMetaObject);

#undef QTEST_MAIN
#undef QTEST_GUILESS_MAIN
#undef QTEST_APPLESS_MAIN
#define QTEST_MAIN(TestObject) TARVIKS_TEST_CLASS(TestObject, QTEST_QAPP_SETUP(QApplication))
#define QTEST_GUILESS_MAIN(TestObject) TARVIKS_TEST_CLASS(TestObject, QTEST_QAPP_SETUP(QCoreApplication))
#define QTEST_APPLESS_MAIN(TestObject) TARVIKS_TEST_CLASS(TestObject)
