#include "TestControlTable.h"
#include "TestEventReport.h"
#include "TestRandomInput.h"
#include "TestSettingsFiles.h"
#include "TestTextAndNumbers.h"
#include "TestValueTypes.h"
#include "TestMain.h"

#include <QCoreApplication>

KVR_TEST_MAIN_CORE(TestTextAndNumbers, TestControlTable, TestValueTypes, TestSettingsFiles, TestEventReport,
                   TestRandomInput)
