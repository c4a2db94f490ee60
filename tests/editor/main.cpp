#include "TestDialogs.h"
#include "TestEditorCore.h"
#include "TestMainWindow.h"
#include "TestProgramStart.h"
#include "TestMain.h"

#include <QApplication>

KVR_TEST_MAIN_GUI(TestEditorCore, TestMainWindow, TestDialogs, TestProgramStart)
