#include "cli/SmsCommands.h"

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "cli/CliOutput.h"
#include "cli/CliText.h"
#include "cli/EventText.h"
#include "cli/InputFiles.h"

#include "core/link/mdlStrings.h"
#include "core/settings/ControlTable.h"
#include "core/settings/EventMasks.h"
#include "core/settings/SettingsFiles.h"
#include "core/common/HexText.h"
#include "core/pdu/PduDecoder.h"
#include "core/inbox/ReceivedProfiles.h"
#include "core/pdu/ReceivedSms.h"
#include "core/pdu/TransferRecord.h"
#include "core/pdu/mdlSMS.h"

#include <array>

namespace {

QString hex(int octet)
{
    return mdlStrings::ByteToHex(quint8(octet));
}

// ---- decode-pdu ----

QString kindText(PduKind kind)
{
    switch (kind) {
    case PduKind::Deliver:
        return QStringLiteral("SMS-DELIVER");
    case PduKind::Submit:
        return QStringLiteral("SMS-SUBMIT");
    case PduKind::StatusReport:
        return QStringLiteral("SMS-STATUS-REPORT");
    case PduKind::Reserved:
        break;
    }
    return QStringLiteral("reserved type");
}

QString codingText(const DecodedPdu &d)
{
    static const char *names[] = {"7-bit default alphabet", "8-bit data", "UCS2", "reserved alphabet"};
    QString out = hex(d.dataCodingScheme) + QStringLiteral(" (") + QLatin1String(names[int(d.coding)]);
    out += d.messageClass < 0 ? QStringLiteral(", no class") : QStringLiteral(", class %1").arg(d.messageClass);
    return out + QLatin1Char(')');
}

QString addressText(const PduAddress &a)
{
    if (a.alphanumeric())
        return QStringLiteral("%1 (type %2, alphanumeric)").arg(a.number, hex(a.type));
    return QStringLiteral("%1 (type %2, %3 digits)").arg(a.number.isEmpty() ? QStringLiteral("(none)") : a.number,
                                                         hex(a.type))
        .arg(a.digits);
}

QString validityText(const DecodedPdu &d)
{
    switch (d.validityFormat) {
    case ValidityFormat::None:
        return QStringLiteral("none");
    case ValidityFormat::Relative: {
        const quint8 vp = quint8(d.validity.at(0));
        return hex(vp) + QStringLiteral(" (relative, ") + PduDecoder::relativeValidityText(vp) + QLatin1Char(')');
    }
    case ValidityFormat::Absolute:
        return PduDecoder::timeStampText(d.validity) + QStringLiteral(" (absolute)");
    case ValidityFormat::Enhanced:
        break;
    }
    return HexText::bytes(d.validity) + QStringLiteral(" (enhanced)");
}

QString packetText(int type)
{
    switch (type) {
    case 0x33:
        return QStringLiteral("profile block 1");
    case 0x35:
        return QStringLiteral("profile block 2");
    case 0x43:
        return QStringLiteral("read request / answer, block 1");
    case 0x45:
        return QStringLiteral("read request / answer, block 2");
    case 0x57:
        return QStringLiteral("GPRS settings / confirmation");
    default:
        break;
    }
    return QStringLiteral("not a packet of this system");
}

// The sum field of a 140-octet record as the sender built it: the module's records sum
// octets 0..137 straight; the scenario's ("04" coding) write data bytes low nibble first.
void printRecordSum(const DecodedPdu &d, QTextStream &out)
{
    if (d.kind != PduKind::Submit || d.userData.size() != TransferRecord::Size)
        return;
    const bool scenario = d.dataCodingScheme == 0x04;
    qint64 sum = quint8(d.userData.at(0));
    for (int i = 1; i < TransferRecord::SummedSize; ++i) {
        const quint8 b = quint8(d.userData.at(i));
        sum += scenario ? (i <= 128 ? quint8((b >> 4) | (b << 4)) : 0) : b;
    }
    const int stored = quint8(d.userData.at(138)) * 256 + quint8(d.userData.at(139));
    const int computed = int(sum & 0xFFFF);
    out << "record sum: " << hex(stored >> 8) << hex(stored & 0xFF)
        << (stored == computed ? QStringLiteral(" (matches)")
                               : QStringLiteral(" (does not match, computed %1%2)").arg(hex(computed >> 8), hex(computed & 0xFF)))
        << (scenario ? " [scenario layout, data low nibble first]" : "") << "\n";
}

QString reasonText(const ReceivedSms &r)
{
    switch (r.ignored) {
    case SmsIgnoreReason::None:
        return QString();
    case SmsIgnoreReason::Truncated:
        return QStringLiteral("the text ends before a field that is read");
    case SmsIgnoreReason::NotDeliver:
        return QStringLiteral("not an SMS-DELIVER");
    case SmsIgnoreReason::NotHex:
        return QStringLiteral("a field that is read is not hexadecimal");
    case SmsIgnoreReason::ForeignCoding:
        return QStringLiteral("data coding scheme %1 is not F6").arg(r.dataCoding);
    case SmsIgnoreReason::ShortUserData:
        return QStringLiteral("%1 user data octets are too few for the packet").arg(r.userDataLength);
    case SmsIgnoreReason::HeaderNotDecimal:
        return QStringLiteral("type octet %1 is not two decimal digits").arg(r.typeText);
    case SmsIgnoreReason::UnknownType:
        return QStringLiteral("type octet %1 is not a packet of this system").arg(r.typeText);
    case SmsIgnoreReason::HeaderMismatch:
        return QStringLiteral("header octets 1, 3, 4 are %1 %2 %3, not 05 00 01")
            .arg(hex(quint8(r.userData.at(1))), hex(quint8(r.userData.at(3))), hex(quint8(r.userData.at(4))));
    }
    return QString();
}

// What a message listing does with the PDU, by the program's own receive path.
void printReceiveChecks(const QString &pdu, QTextStream &out)
{
    const ReceivedSms r = decodeReceivedSms(pdu);
    out << "receive checks:\n";
    if (!r.dataCoding.isEmpty())
        out << "  data coding F6: " << (r.dataCoding == QLatin1String("F6") ? "yes" : "no") << "\n";
    if (!r.typeText.isEmpty())
        out << "  packet type " << shown(r.typeText) << ": " << (r.type ? "known" : "unknown") << "\n";
    if (r.type && *r.type != PacketType::GprsSettings) {
        out << "  128 data octets from octet 5: " << (r.userDataLength >= 133 ? "yes" : "no") << "\n";
        if (r.userDataLength >= 133)
            out << "  header octets 1, 3, 4 = 05 00 01: " << (r.ignored == SmsIgnoreReason::HeaderMismatch ? "no" : "yes")
                << "\n";
    }
    if (r.accepted() && (r.type == PacketType::ReadBlock1 || r.type == PacketType::ReadBlock2)) {
        const QString name = ReceivedProfiles::profileFileName(r.sender);
        out << "  sender usable as file name: "
            << (name.isEmpty() ? QStringLiteral("no") : QStringLiteral("yes (BIN/%1.bin)").arg(shown(name))) << "\n";
    }
    if (!r.accepted()) {
        out << "result: ignored, " << shown(reasonText(r)) << "\n";
        return;
    }
    ReceivedProfiles scratch;
    QString line;
    const bool stored = mdlSMS::ParseReceivedSms(pdu, scratch, line);
    if (!line.isEmpty())
        out << "result: log line \"" << shown(mdlStrings::TrimCrLf(line)) << "\"\n";
    else if (stored)
        out << "result: kept as block " << (r.type == PacketType::ReadBlock1 ? 1 : 2) << " of the profile from "
            << shown(r.sender) << "\n";
}

// One field of the decoded message on its line; the texts and numbers in it are the PDU's.
void printField(QTextStream &out, const QString &label, const QString &value)
{
    out << shown(EventText::field(label, value)) << "\n";
}

} // namespace

int runDecodePdu(const CliOptions &o, CliContext &c)
{
    QTextStream &out = c.out;
    const QString pdu = o.positional.first();
    const DecodedPdu d = PduDecoder::decodePdu(pdu);
    if (d.centreOctets == 0)
        printField(out, QStringLiteral("centre"), QStringLiteral("the modem's own (00)"));
    else if (d.ok || d.kind != PduKind::Reserved)
        printField(out, QStringLiteral("centre"), d.centre.number + QStringLiteral(" (type ") + hex(d.centre.type) + QLatin1Char(')'));
    if (d.ok) {
        printField(out, QStringLiteral("first octet"),
                   hex(d.firstOctet) + QStringLiteral(" (") + kindText(d.kind)
                       + (d.userDataHeader ? QStringLiteral(", user data header") : QString()) + QLatin1Char(')'));
        if (d.kind == PduKind::StatusReport) {
            printField(out, QStringLiteral("message reference"), hex(d.messageReference));
            printField(out, QStringLiteral("recipient"), addressText(d.address));
            printField(out, QStringLiteral("time stamp"), PduDecoder::timeStampText(d.timeStamp));
            printField(out, QStringLiteral("discharge time"), PduDecoder::timeStampText(d.dischargeTime));
            printField(out, QStringLiteral("status"),
                       hex(d.status) + QStringLiteral(" (") + PduDecoder::statusText(d.status) + QLatin1Char(')'));
            return 0;
        }
        if (d.kind == PduKind::Submit) {
            printField(out, QStringLiteral("message reference"), hex(d.messageReference));
            printField(out, QStringLiteral("destination"), addressText(d.address));
        } else {
            printField(out, QStringLiteral("sender"), addressText(d.address));
        }
        printField(out, QStringLiteral("protocol identifier"), hex(d.protocolId));
        printField(out, QStringLiteral("coding"), codingText(d));
        if (d.kind == PduKind::Submit)
            printField(out, QStringLiteral("validity"), validityText(d));
        else
            printField(out, QStringLiteral("time stamp"), PduDecoder::timeStampText(d.timeStamp));
        printField(out, QStringLiteral("user data"),
                   QString::number(d.userDataLength)
                       + (d.coding == PduCoding::Gsm7Bit ? QStringLiteral(" septets") : QStringLiteral(" octets")));
        const QString ud = HexText::bytes(d.userData);
        for (qsizetype i = 0; i < ud.size(); i += 64)
            out << "  " << ud.mid(i, 64) << "\n";
        if (d.trailingCharacters > 0)
            printField(out, QStringLiteral("after the user data"),
                       QString::number(d.trailingCharacters) + QStringLiteral(" characters"));
        if (d.coding == PduCoding::Gsm7Bit || d.coding == PduCoding::Ucs2)
            printField(out, QStringLiteral("text"), PduDecoder::messageText(d));
        if (!d.userData.isEmpty() && d.coding == PduCoding::EightBit)
            printField(out, QStringLiteral("packet"),
                       QStringLiteral("0x") + hex(quint8(d.userData.at(0))) + QStringLiteral(" (")
                           + packetText(quint8(d.userData.at(0))) + QLatin1Char(')'));
        printRecordSum(d, out);
    } else {
        out.flush();
        printMessage(CliText::tr("не PDU: %1").arg(d.error));
    }
    if (!d.ok || d.kind == PduKind::Deliver)
        printReceiveChecks(pdu, out);
    return d.ok ? 0 : 1;
}

namespace {

// ---- diff ----

// Bits that some table line shows, per block position; the rest is listed raw.
using Coverage = std::array<std::array<quint8, SettingsImage::BlockSize>, 3>;

void cover(Coverage &c, int block, int pos, quint8 bits)
{
    if (pos >= 0 && pos < SettingsImage::BlockSize)
        c[block - 1][pos] |= bits;
}

void coverEntry(Coverage &c, const TableEntry &e)
{
    if (e.Type == ParamType::Bit || e.Type == ParamType::MByte) {
        cover(c, 1, e.Offset, quint8(e.Length & 0xFF));
    } else if (e.Type == ParamType::Byte || e.Type == ParamType::SInt) {
        cover(c, 1, e.Offset, 0xFF);
    } else if (e.Type == ParamType::Word || e.Type == ParamType::Int) {
        cover(c, 1, e.Offset, 0xFF);
        cover(c, 1, e.Offset + 1, 0xFF);
    }
}

// The differing lines of one event, its flags and masks first; empty when it is equal.
QStringList eventDifferences(const ControlTable &t, int first, const SettingsImage &a, const SettingsImage &b,
                             Coverage &c)
{
    QStringList lines;
    const int event = t.TableEntries[first].EventNo;
    auto add = [&lines](const QString &label, const QString &va, const QString &vb) {
        if (va != vb)
            lines << QStringLiteral("    ") + EventText::field(label, va + QStringLiteral(" -> ") + vb);
    };
    for (int k = 0; k < 4; ++k) {
        add(EventText::flagName(k), EventText::flagValue(a, k, event),
            EventText::flagValue(b, k, event));
        if (EventMasks::hasMaskBits(event))
            cover(c, 1, EventMasks::maskByte(k, event), quint8(1u << (event % 8)));
    }
    for (int col = 0; col < 3 && EventMasks::hasOutputMasks(event); ++col) {
        add(EventText::outputMaskName(col), EventText::outputMaskValue(a, col, event),
            EventText::outputMaskValue(b, col, event));
        cover(c, col == 2 ? 3 : 2, col == 1 ? 2 * event + 2 : 2 * event + 1, 0xFF);
    }
    for (int j = first; j < t.eventEnd(first); ++j) {
        const TableEntry &e = t.TableEntries[j];
        if (!EventText::hasValue(e))
            continue;
        const QString va = EventText::parameterValue(e, a);
        const QString vb = EventText::parameterValue(e, b);
        if (va != vb)
            lines << EventText::parameterLine(e, va + QStringLiteral(" -> ") + vb);
        coverEntry(c, e);
    }
    return lines;
}

} // namespace

int runDiff(const CliOptions &o, CliContext &c)
{
    QTextStream &out = c.out;
    ControlTable table;
    SettingsImage a, b;
    if (!InputFiles::loadTable(o.value(QStringLiteral("--table")), o.service, table)
        || !InputFiles::loadImage(o.positional[0], a) || !InputFiles::loadImage(o.positional[1], b))
        return 1;

    Coverage covered{};
    int count = 0;
    for (int first = 0; first < table.EntryCount(); first = table.eventEnd(first)) {
        const QStringList lines = eventDifferences(table, first, a, b, covered);
        if (lines.isEmpty())
            continue;
        out << shown(EventText::heading(table.TableEntries[first])) << "\n";
        for (const QString &line : lines)
            out << shown(line) << "\n";
        count += int(lines.size());
    }
    // Only positions 1..128 reach a file; bytes no line reads are listed as they are.
    for (int k = 1; k <= 3; ++k) {
        for (int pos = 1; pos <= 128; ++pos) {
            const quint8 va = a.block(k)[pos], vb = b.block(k)[pos];
            if (((va ^ vb) & ~covered[k - 1][pos]) == 0)
                continue;
            out << "Block" << k << "[" << pos << "]: " << hex(va) << " -> " << hex(vb) << "\n";
            ++count;
        }
    }
    out << "differences: " << count << "\n";
    return count == 0 ? 0 : 1;
}

