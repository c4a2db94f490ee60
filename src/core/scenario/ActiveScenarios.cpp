#include "core/scenario/ActiveScenarios.h"

#include "core/scenario/clsScenarioProfile.h"

ActiveScenarios::~ActiveScenarios()
{
    for (const Entry &e : m_entries)
        delete e.scenario;
}

void ActiveScenarios::release(clsScenarioProfile *scenario)
{
    // A scenario asks to be dropped from inside its own step machine.
    scenario->disconnect();
    scenario->deleteLater();
}

clsScenarioProfile *ActiveScenarios::find(const QString &key) const
{
    for (const Entry &e : m_entries) {
        if (e.key == key)
            return e.scenario;
    }
    return nullptr;
}

bool ActiveScenarios::add(const QString &key, clsScenarioProfile *scenario)
{
    if (find(key)) {
        release(scenario);
        return false;
    }
    m_entries.append({key, scenario});
    return true;
}

bool ActiveScenarios::remove(const QString &key)
{
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        if (m_entries.at(i).key == key) {
            release(m_entries.takeAt(i).scenario);
            return true;
        }
    }
    return false;
}

void ActiveScenarios::removeFirst()
{
    if (!m_entries.isEmpty())
        release(m_entries.takeFirst().scenario);
}

void ActiveScenarios::clear()
{
    while (!m_entries.isEmpty())
        removeFirst();
}
