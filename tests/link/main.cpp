#include "TestMain.h"

#include "TestClsReceive.h"
#include "TestExchangeSim.h"
#include "TestLinkCli.h"
#include "TestLinkExchange.h"
#include "TestLinkTune.h"
#include "TestLinkWindow.h"
#include "TestMdlStrings.h"

#include <QApplication>

KVR_TEST_MAIN_GUI(TestMdlStrings, TestClsReceive, TestLinkExchange, TestLinkTune, TestExchangeSim, TestLinkWindow, TestLinkCli)
