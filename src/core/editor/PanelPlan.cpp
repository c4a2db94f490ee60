#include "core/editor/PanelPlan.h"

#include "core/common/HexText.h"
#include "core/settings/ValueTypes.h"

PanelPlan PanelPlan::build(const ControlTable &table, int first, int event, const SettingsImage &image)
{
    PanelPlan plan;
    plan.summary = QStringLiteral("S№ ") + QString::number(event) + QStringLiteral("    ");
    if (first < 0)
        return plan;
    for (int i = first; i < table.EntryCount() && table.TableEntries[i].EventNo == event; ++i) {
        const TableEntry &e = table.TableEntries[i];
        if (e.Type == ParamType::X)
            continue;
        plan.summary += HexText::number(e.Offset) + QLatin1Char(':');
        Item item;
        item.entry = i;
        if (e.Type == ParamType::Bit) {
            item.kind = Item::Kind::Check;
            item.slot = int(plan.checkMap.size());
            item.checked = ValueTypes::bitValue(e, image);
            plan.checkMap.append(i);
            const quint8 byte = (e.Offset >= 0 && e.Offset < SettingsImage::BlockSize) ? image.Block1[e.Offset] : 0;
            plan.summary += HexText::number(byte) + QStringLiteral("   ");
        } else {
            item.kind = Item::Kind::Text;
            item.slot = int(plan.textMap.size());
            if (ParamTypes::isNumeric(e.Type)) {
                const qint64 v = ValueTypes::displayValue(e, image);
                item.hasValue = true;
                item.value = QString::number(v);
                plan.summary += HexText::number(v) + QStringLiteral("  ");
            } else {
                item.note = QStringLiteral("Текстовые значения не хранятся в настройках терминала");
            }
            plan.textMap.append(i);
        }
        plan.items.append(item);
    }
    return plan;
}
