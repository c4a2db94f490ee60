#pragma once

#include <QTest>

template <typename T>
int runOneTest(int argc, char **argv)
{
    T test;
    return QTest::qExec(&test, argc, argv);
}

// Runs several test classes from one executable; the result is non-zero when any failed.
template <typename... Tests>
int runTests(int argc, char **argv)
{
    int status = 0;
    ((status |= runOneTest<Tests>(argc, argv)), ...);
    return status;
}

#define KVR_TEST_MAIN_CORE(...)                                                                          \
    int main(int argc, char **argv)                                                                      \
    {                                                                                                    \
        QCoreApplication app(argc, argv);                                                                \
        return runTests<__VA_ARGS__>(argc, argv);                                                        \
    }

#define KVR_TEST_MAIN_GUI(...)                                                                           \
    int main(int argc, char **argv)                                                                      \
    {                                                                                                    \
        QApplication app(argc, argv);                                                                    \
        return runTests<__VA_ARGS__>(argc, argv);                                                        \
    }
