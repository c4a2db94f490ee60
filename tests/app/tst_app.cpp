#include "TestCli.h"
#include "TestMain.h"
#include "TestStartUp.h"

#include <QCoreApplication>

KVR_TEST_MAIN_CORE(TestStartUp, TestCli)
