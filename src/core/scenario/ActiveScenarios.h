#pragma once

#include <QList>
#include <QString>

class clsScenarioProfile;

// The running profile scenarios, in the order they started, each under its terminal's
// number. The collection owns them; one that is removed goes once its own handlers are
// off the stack.
class ActiveScenarios
{
public:
    ActiveScenarios() = default;
    ~ActiveScenarios();
    ActiveScenarios(const ActiveScenarios &) = delete;
    ActiveScenarios &operator=(const ActiveScenarios &) = delete;

    bool isEmpty() const { return m_entries.isEmpty(); }
    int size() const { return int(m_entries.size()); }
    clsScenarioProfile *first() const { return m_entries.isEmpty() ? nullptr : m_entries.first().scenario; }
    clsScenarioProfile *at(int i) const { return m_entries.at(i).scenario; }
    clsScenarioProfile *find(const QString &key) const;
    QString keyAt(int i) const { return m_entries.at(i).key; }

    // Takes the scenario; false (and the scenario is deleted) when the key is in use.
    bool add(const QString &key, clsScenarioProfile *scenario);
    bool remove(const QString &key);
    void removeFirst();
    void clear();

private:
    struct Entry
    {
        QString key;
        clsScenarioProfile *scenario = nullptr;
    };
    static void release(clsScenarioProfile *scenario);

    QList<Entry> m_entries;
};
