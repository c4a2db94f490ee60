#include "cli/CommandTable.h"

#include "cli/BookCommands.h"
#include "cli/CliHelp.h"
#include "cli/CliOptions.h"
#include "cli/FileCommands.h"
#include "cli/HistoryCommand.h"
#include "cli/LinkCommands.h"
#include "cli/SmsCommands.h"
#include "cli/SmsTransferCommands.h"
#include "cli/TasksCommand.h"
#include "cli/UploadCommand.h"

namespace {

CliOption service()
{
    return {QStringLiteral("--service"), nullptr, QT_TRANSLATE_NOOP("CliText", "со служебными строками таблицы")};
}

CliOption table(bool required = true)
{
    return {QStringLiteral("--table"), "TABLE", QT_TRANSLATE_NOOP("CliText", "управляющая таблица"), OptionValue::Path,
            {}, required};
}

CliOption text(const char *name, const char *argument, const char *help, bool required = false)
{
    return {QLatin1String(name), argument, help, OptionValue::Word, {}, required};
}

CliOption path(const char *name, const char *argument, const char *help, bool required = false)
{
    return {QLatin1String(name), argument, help, OptionValue::Path, {}, required};
}

CliOption flag(const char *name, const char *help)
{
    return {QLatin1String(name), nullptr, help};
}

// --phone NUMBER | --terminal NAME, each as often as there are terminals, and --all where the
// command runs for the whole book.
QList<CliOption> targets(bool all)
{
    QList<CliOption> options{
        text("--phone", "NUMBER", QT_TRANSLATE_NOOP("CliText", "номер телефона терминала")),
        text("--terminal", "NAME",
             QT_TRANSLATE_NOOP("CliText", "терминал из адресной книги по названию (вместо --phone)"))};
    for (CliOption &option : options)
        option.repeatable = true;
    if (all)
        options << flag("--all", QT_TRANSLATE_NOOP("CliText", "все терминалы адресной книги сразу"))
                << flag("--retry-failed",
                        QT_TRANSLATE_NOOP("CliText", "как --all, но только те, у кого последний запуск не удался"))
                << flag("--json", QT_TRANSLATE_NOOP("CliText", "итоговая таблица в JSON"));
    return options;
}

// A password on the command line is in ps and in the shell's history: said each time it is used.
CliOption password()
{
    CliOption option = text("--password", "TEXT", QT_TRANSLATE_NOOP("CliText", "пароль (виден другим пользователям)"));
    option.warning = QT_TRANSLATE_NOOP("CliText", "пароль --password виден другим пользователям (ps, история команд); "
                                                  "лучше --password-file FILE или KVRSETUP_GPRS_PASSWORD");
    return option;
}

CliOption smsc()
{
    return text("--smsc", "NUMBER", QT_TRANSLATE_NOOP("CliText", "номер SMS-центра"));
}

QList<CliCommand> build()
{
    QList<CliCommand> t;
    t.append({QStringLiteral("check-table"),
              QT_TRANSLATE_NOOP("CliText", "Проверить управляющую таблицу: число записей и событий"), "TABLE",
              {service()}, 1, 1, {}, runCheckTable});
    t.append({QStringLiteral("report"),
              QT_TRANSLATE_NOOP("CliText", "Записать отчет о событиях (как \"Печать\") в XML или HTML"), nullptr,
              {service(), table(), path("--data", "FILE", QT_TRANSLATE_NOOP("CliText", "файл данных")),
               path("--out", "FILE", QT_TRANSLATE_NOOP("CliText", "отчет XML")),
               path("--html", "FILE", QT_TRANSLATE_NOOP("CliText", "отчет HTML")),
               path("--xsl", "FILE", QT_TRANSLATE_NOOP("CliText", "таблица стилей для --html"))},
              0, 0, {}, runReport});
    t.append({QStringLiteral("show"),
              QT_TRANSLATE_NOOP("CliText", "Показать события, их флаги и параметры из файла данных"), nullptr,
              {service(), table(), path("--data", "FILE", QT_TRANSLATE_NOOP("CliText", "файл данных"), true)}, 0, 0,
              {}, runShow});
    t.append({QStringLiteral("convert"),
              QT_TRANSLATE_NOOP("CliText", "Переписать файл данных в форме 260 или 390 байт со скрытыми значениями"),
              nullptr,
              {service(), table(), path("--data", "IN", QT_TRANSLATE_NOOP("CliText", "исходный файл данных"), true),
               path("--out", "OUT", QT_TRANSLATE_NOOP("CliText", "новый файл данных"), true),
               {QStringLiteral("--form"), "260|390", QT_TRANSLATE_NOOP("CliText", "длина нового файла"),
                OptionValue::Choice, {QStringLiteral("260"), QStringLiteral("390")}, true}},
              0, 0, {}, runConvert});
    t.append({QStringLiteral("diff"),
              QT_TRANSLATE_NOOP("CliText", "Сравнить два файла данных по управляющей таблице"), "A.bin B.bin",
              {service(), table()}, 2, 2, {}, runDiff});
    t.append({QStringLiteral("decode-pdu"),
              QT_TRANSLATE_NOOP("CliText", "Разобрать PDU из журнала обмена и проверки его приема"), "PDU", {}, 1, 1,
              {}, runDecodePdu});
    t.append({QStringLiteral("modem-info"), QT_TRANSLATE_NOOP("CliText", "Проверить модем и узнать его тип"), nullptr,
              serialOptions(), 0, 0, {}, runModemInfo});
    t.append({QStringLiteral("at"), QT_TRANSLATE_NOOP("CliText", "Отправить модему AT-команды и показать ответы"),
              "COMMAND...", serialOptions(), 1, -1, {}, runAtCommands});
    t.append({QStringLiteral("book"),
              QT_TRANSLATE_NOOP("CliText", "Адресная книга терминалов, общая с окном связи"),
              "list | add NAME PHONE | edit ID NAME PHONE | delete ID",
              {flag("--json", QT_TRANSLATE_NOOP("CliText", "list в JSON"))}, 1, 4,
              {QStringLiteral("list"), QStringLiteral("add"), QStringLiteral("edit"), QStringLiteral("delete")},
              runBook});
    t.append({QStringLiteral("history"),
              QT_TRANSLATE_NOOP("CliText", "История операций с терминалами, сначала новые"), nullptr,
              {text("--terminal", "NAME", QT_TRANSLATE_NOOP("CliText", "только терминал с этим названием")),
               text("--phone", "NUMBER", QT_TRANSLATE_NOOP("CliText", "только этот номер, в любой его форме")),
               text("--since", "YYYY-MM-DD", QT_TRANSLATE_NOOP("CliText", "начиная с этого дня (UTC)")),
               flag("--failed", QT_TRANSLATE_NOOP("CliText", "только неудачные")),
               flag("--json", QT_TRANSLATE_NOOP("CliText", "вывод в JSON"))},
              0, 0, {}, runHistory});
    t.append({QStringLiteral("tasks"),
              QT_TRANSLATE_NOOP("CliText", "Задания терминалам, общие для рабочих мест шлюза, сначала новые"),
              "[cancel ID... | get ID --out FILE]",
              {flag("--open", QT_TRANSLATE_NOOP("CliText", "только незавершенные (queued, sent)")),
               flag("--failed", QT_TRANSLATE_NOOP("CliText", "только неудачные (failed, expired)")),
               text("--terminal", "NAME", QT_TRANSLATE_NOOP("CliText", "только терминал с этим названием")),
               flag("--json", QT_TRANSLATE_NOOP("CliText", "вывод в JSON")),
               path("--smsd", "FILE",
                    QT_TRANSLATE_NOOP("CliText", "файл настроек gammu-smsd: задания базы шлюза (вместо Data.db)")),
               path("--out", "FILE", QT_TRANSLATE_NOOP("CliText", "для get: куда записать файл задания"))},
              0, -1, {QStringLiteral("cancel"), QStringLiteral("get")}, runTasks});
    t.append({QStringLiteral("send-profile"), QT_TRANSLATE_NOOP("CliText", "Отправить профиль терминалу по SMS"),
              "FILE",
              smsRouteOptions(true) + targets(true)
                  + QList<CliOption>{smsc(), text("--wait", "SECONDS",
                                                  QT_TRANSLATE_NOOP("CliText",
                                                                    "с --all: сколько ждать подтверждений, с (120)"))},
              1, 1, {}, runSendProfile});
    t.append({QStringLiteral("read-profile"),
              QT_TRANSLATE_NOOP("CliText", "Запросить профиль у терминала по SMS и дождаться ответа"), nullptr,
              smsRouteOptions(true) + targets(true)
                  + QList<CliOption>{smsc(), text("--wait", "SECONDS",
                                                  QT_TRANSLATE_NOOP("CliText", "сколько ждать ответа, с (120)"))},
              0, 0, {}, runReadProfile});
    t.append({QStringLiteral("poll"), QT_TRANSLATE_NOOP("CliText", "Один опрос принятых SMS модема или шлюза"), nullptr,
              smsRouteOptions(), 0, 0, {}, runPoll});
    t.append({QStringLiteral("send-gprs"), QT_TRANSLATE_NOOP("CliText", "Отправить терминалу настройки GPRS по SMS"),
              nullptr,
              smsRouteOptions(true) + targets(true)
                  + QList<CliOption>{smsc(), text("--apn", "TEXT", QT_TRANSLATE_NOOP("CliText", "точка доступа"), true),
                                     text("--user", "TEXT", QT_TRANSLATE_NOOP("CliText", "пользователь")),
                                     password(),
                                     path("--password-file", "FILE",
                                          QT_TRANSLATE_NOOP("CliText", "пароль из первой строки файла (или из "
                                                                       "переменной KVRSETUP_GPRS_PASSWORD)")),
                                     text("--server", "ADDRESS", QT_TRANSLATE_NOOP("CliText", "адрес сервера"), true),
                                     text("--server-port", "N", QT_TRANSLATE_NOOP("CliText", "порт сервера"), true),
                                     text("--wait", "SECONDS",
                                          QT_TRANSLATE_NOOP("CliText", "с --all: сколько ждать подтверждений, с (120)"))},
              0, 0, {}, runSendGprs});
    t.append({QStringLiteral("upload"),
              QT_TRANSLATE_NOOP("CliText", "Загрузить микропрограмму в терминал по каналу данных"),
              "FILE [FILE2 [FILE3]]",
              serialOptions(true) + targets(false)
                  + QList<CliOption>{flag("--all", QT_TRANSLATE_NOOP("CliText",
                                                                     "все терминалы адресной книги, по одному на модем")),
                                     flag("--linear", QT_TRANSLATE_NOOP("CliText", "линейная загрузка, один файл")),
                                     {QStringLiteral("--bank"), "N", QT_TRANSLATE_NOOP("CliText", "банк, 0..3"),
                                      OptionValue::Choice,
                                      {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"),
                                       QStringLiteral("3")}},
                                     text("--page", "HEX", QT_TRANSLATE_NOOP("CliText", "адрес страницы, шестнадцатеричный: 2800 или 0x2800")),
                                     flag("--resume",
                                          QT_TRANSLATE_NOOP("CliText", "продолжить с сохраненной точки"))},
              1, 3, {}, runUpload});
    t.append({QStringLiteral("help"), QT_TRANSLATE_NOOP("CliText", "Справка по командам"), "[COMMAND]",
              {{QStringLiteral("--markdown"), nullptr, "", OptionValue::None, {}, false, true},
               {QStringLiteral("--bash-completion"), nullptr, "", OptionValue::None, {}, false, true},
               {QStringLiteral("--man"), nullptr, "", OptionValue::None, {}, false, true}},
              0, 1, {}, runHelp});
    return t;
}

} // namespace

const QList<CliCommand> &commandTable()
{
    static const QList<CliCommand> table = build();
    return table;
}

const CliCommand *findCommand(const QString &name)
{
    for (const CliCommand &c : commandTable()) {
        if (c.name == name)
            return &c;
    }
    return nullptr;
}
