#include "TestEventGridModel.h"

#include "EditorFixture.h"
#include "core/editor/EventGrid.h"
#include "core/settings/EventMasks.h"
#include "gui/editor/EventGridModel.h"

#include <QPixmap>
#include <QSignalSpy>
#include <QTest>

namespace {
QString text(const EventGridModel &m, int row, int column) { return m.index(row, column).data().toString(); }
} // namespace

void TestEventGridModel::identityRolesFollowRowsNotPositions()
{
    EditorEnv env;
    QVERIFY(env.parsed);
    EventGridModel model;
    // Filtered to one group, row positions no longer match event numbers or entry positions.
    model.setRows(EventGrid::buildRows(env.state.table, env.state.CurrentImage, true, QStringLiteral("GRP2")));
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.columnCount(), 8);
    const int events[2] = {9, 12};
    const int entries[2] = {2, 7};
    for (int r = 0; r < 2; ++r) {
        QCOMPARE(model.eventNo(r), events[r]);
        QCOMPARE(model.entry(r), entries[r]);
        for (int c = 0; c < 8; ++c) {
            QCOMPARE(model.index(r, c).data(EventGridModel::EventNoRole).toInt(), events[r]);
            QCOMPARE(model.index(r, c).data(EventGridModel::EntryRole).toInt(), entries[r]);
        }
        // The hidden columns of the layout show the same identity as text.
        QCOMPARE(text(model, r, 6), QString::number(entries[r]));
        QCOMPARE(text(model, r, 7), QString::number(events[r]));
    }
    QCOMPARE(text(model, 1, 1), QStringLiteral("№12 Event twelve"));
    for (int outside : {-1, 2}) {
        QCOMPARE(model.eventNo(outside), -1);
        QCOMPARE(model.entry(outside), -1);
    }
    QVERIFY(!model.index(0, 0, model.index(0, 0)).isValid());
    const QStringList headers = {QStringLiteral("F"),    QStringLiteral("Событие"), QStringLiteral("Журн."),
                                 QStringLiteral("Авт."), QStringLiteral("Трев."),   QStringLiteral("Инфо"),
                                 QString(),              QString()};
    for (int c = 0; c < 8; ++c)
        QCOMPARE(model.headerData(c, Qt::Horizontal).toString(), headers[c]);
}

void TestEventGridModel::flagCellsAfterRebuildAndBoxChange()
{
    EditorEnv env;
    EventMasks::setMaskBit(env.state.CurrentImage, EventMasks::Journal, 9, true);
    EventMasks::setMaskBit(env.state.CurrentImage, EventMasks::Info, 12, true);
    EventGridModel model;
    const auto rows = EventGrid::buildRows(env.state.table, env.state.CurrentImage, false, QString());
    model.setRows(rows);
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(text(model, 1, 2), QStringLiteral("ДА"));
    QCOMPARE(text(model, 1, 3), QStringLiteral("-"));
    QCOMPARE(text(model, 2, 5), QStringLiteral("ДА"));
    QCOMPARE(model.index(1, 2).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
    QVERIFY(!model.index(1, 1).data(Qt::TextAlignmentRole).isValid());

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.setFlags(1, {false, true, false, true});
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed[0][0].toModelIndex(), model.index(1, 2));
    QCOMPARE(changed[0][1].toModelIndex(), model.index(1, 5));
    // One mark for one state, whichever way the flag was cleared.
    const QStringList afterBoxes = {QStringLiteral("-"), QStringLiteral("ДА"), QStringLiteral("-"),
                                    QStringLiteral("ДА")};
    for (int k = 0; k < 4; ++k)
        QCOMPARE(text(model, 1, 2 + k), afterBoxes[k]);
    // Other rows and the row's identity are untouched.
    QCOMPARE(text(model, 0, 2), QStringLiteral("-"));
    QCOMPARE(model.eventNo(1), 9);
    model.setFlags(4, {true, true, true, true});
    model.setFlags(-1, {true, true, true, true});
    QCOMPARE(changed.size(), 1);

    // A rebuild shows clear flags as "-" again.
    model.setRows(rows);
    QCOMPARE(text(model, 1, 2), QStringLiteral("ДА"));
    QCOMPARE(text(model, 1, 3), QStringLiteral("-"));
}

void TestEventGridModel::markOnlyForVisibleEntriesInServiceMode()
{
    // In service mode hidden lines are entries too, shown without the mark.
    ControlTable table;
    QString error;
    QVERIFY(table.ParseControlTableText(QStringLiteral("0~3~~G~Hidden three~~X\r\n1~4~~G~Four~~X\r\n"), true, error));
    EventGridModel model;
    model.setRows(EventGrid::buildRows(table, SettingsImage(), false, QString()));
    QCOMPARE(model.rowCount(), 2);
    QPixmap picture(12, 12);
    picture.fill(Qt::green);
    const auto mark = [&](int row, int column) {
        return model.index(row, column).data(Qt::DecorationRole).value<QIcon>();
    };
    model.setMark(QIcon(picture), false);
    QVERIFY(mark(1, 0).isNull());
    model.setMark(QIcon(picture), true);
    QVERIFY(mark(0, 0).isNull());
    QVERIFY(!mark(1, 0).isNull());
    QVERIFY(mark(1, 1).isNull());
}
