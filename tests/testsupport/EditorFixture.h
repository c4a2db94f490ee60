#pragma once

#include "ScriptedPrompts.h"
#include "core/app/AppState.h"

#include <QTemporaryDir>
#include <QTest>

// Demo table of the editor tests: event 5 matches the summary example, event 9 has the
// BIT, BYTE, BIT, BYTE, BIT order, event 12 three bytes, event 63 the last event, and one hidden default.
inline QString editorTestTable()
{
    return QStringLiteral(
        "1~5~26~grp1~Event five~Help of five~BYTE~~Val A~0~255~0~~u\r\n"
        "1~5~27~grp1~Event five~~BIT~3~Bit pair~~~~~\r\n"
        "1~9~28~GRP2~Event nine~Help of nine~BIT~1~B0~~~~~\r\n"
        "1~9~29~GRP2~Event nine~~BYTE~~V0~0~100~0~~\r\n"
        "1~9~28~GRP2~Event nine~~BIT~2~B1~~~~~\r\n"
        "1~9~30~GRP2~Event nine~~BYTE~~V1~1~10~1~~\r\n"
        "1~9~28~GRP2~Event nine~~BIT~4~B2~~~~~\r\n"
        "0~9~40~GRP2~Hidden~~BYTE~~H~0~255~7~~\r\n"
        "1~12~31~GRP2~Event twelve~~BYTE~~W0~0~255~0~~\r\n"
        "1~12~32~GRP2~Event twelve~~BYTE~~W1~0~255~0~~\r\n"
        "1~12~33~GRP2~Event twelve~~BYTE~~W2~0~255~0~~\r\n"
        "1~63~~GRP3~Event sixty-three~~X\r\n");
}

// A temporary application folder with state parsed from a table text.
struct EditorEnv
{
    QTemporaryDir dir;
    AppState state;
    ScriptedPrompts prompts;

    explicit EditorEnv(const QString &tableText = editorTestTable()) : state(dir.path())
    {
        QString error;
        parsed = state.table.ParseControlTableText(tableText, false, error);
        state.ControlTablePath = state.appPath(QStringLiteral("test.stp"));
        state.ConstIniPath = state.appPath(QStringLiteral("Const.ini"));
    }
    bool parsed = false;
};

