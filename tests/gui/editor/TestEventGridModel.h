#pragma once

#include <QObject>

// The event grid's model: row identity in item roles, flag cell texts, the service-mode mark.
class TestEventGridModel : public QObject
{
    Q_OBJECT

private slots:
    void identityRolesFollowRowsNotPositions();
    void flagCellsAfterRebuildAndBoxChange();
    void markOnlyForVisibleEntriesInServiceMode();
};
