// kvr_link_shots OUTDIR: renders the link window against kvrsim for the README: each mode at
// the default and at the smallest size, and the firmware panel during a load. Run it under
// Xvfb for the desktop's fonts: xvfb-run -a build/bin/kvr_link_shots docs/screenshots
#include "core/app/AppState.h"
#include "core/app/Database.h"
#include "core/app/OperationHistory.h"
#include "core/link/ModemLine.h"
#include "core/app/UserPrompts.h"
#include "core/link/LinkExchange.h"
#include "gui/app/QtPrompts.h"
#include "gui/linkwindow/frmLink.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlQuery>
#include <QSqlDatabase>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <utility>

namespace {

void shoot(QWidget &w, const QString &path);

// Answers every question with its default and shows no window, except the boxes the README
// shows: those are real message boxes, shot while open, then answered Yes (or OK).
class ShotPrompts : public UserPrompts
{
public:
    QString out;
    QString nextOpenFile;

    Answer message(const QString &text, const QString &title, Icon icon, Buttons b) override
    {
        QString shot;
        if (text.startsWith(QStringLiteral("Загрузить ПО в терминал")))
            shot = QStringLiteral("/confirm-load.png");
        else if (text.contains(QStringLiteral("не является профильным файлом")))
            shot = QStringLiteral("/profile-refused.png");
        if (shot.isEmpty())
            return b == Buttons::Ok ? Answer::Ok : Answer::No;
        QTimer::singleShot(500, [this, shot] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            shoot(*box, out + shot);
            QAbstractButton *yes = box->button(QMessageBox::Yes);
            (yes ? yes : box->button(QMessageBox::Ok))->click();
        });
        return m_real.message(text, title, icon, b);
    }
    QString openFile(const QString &, const QString &, const QList<Filter> &, bool) override
    {
        return std::exchange(nextOpenFile, QString());
    }
    QString saveFile(const QString &, const QString &, const QList<Filter> &) override { return {}; }
    bool openDocument(const QString &) override { return false; }

private:
    QtPrompts m_real;
};

void waitFor(const std::function<bool()> &done, int ms)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    poll.start(20);
    loop.exec();
}

void shoot(QWidget &w, const QString &path)
{
    QApplication::processEvents();
    w.grab().save(path);
    std::printf("%s %dx%d\n", qPrintable(path), w.width(), w.height());
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    QTemporaryDir home;

    QProcess sim;
    sim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/kvrsim"),
              {QStringLiteral("--far"), QStringLiteral("boot"), QStringLiteral("--baud"), QStringLiteral("9600")});
    if (!sim.waitForReadyRead(5000))
        return 1;
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();

    AppState state(home.path());
    Database db;
    QString error;
    db.open(home.filePath(QStringLiteral("Data.db")), error);
    QSqlQuery q(QSqlDatabase::database(db.connectionName()));
    q.exec(QStringLiteral("INSERT INTO objects VALUES (1, 'Грузовик 12', '+79161234567')"));
    q.exec(QStringLiteral("INSERT INTO objects VALUES (2, 'Автобус 7', '+79037654321')"));
    state.database = &db;
    state.serial.port = device;
    QFile image(home.filePath(QStringLiteral("KVR6r.BIN")));
    image.open(QIODevice::WriteOnly);
    image.write(QByteArray(64 * 1024, '\x5A'));
    image.close();
    state.firmwarePaths[0] = image.fileName();

    ShotPrompts prompts;
    prompts.out = out;
    frmLink w(state, prompts);
    w.resize(1100, 700);
    w.show();
    waitFor([&] { return !w.modemCheckRunning() && w.findChild<QLabel *>(QStringLiteral("lblInfo"))->text().size() > 0; },
            15000);
    waitFor([] { return false; }, 300);

    const QSize smallest = w.minimumSizeHint();
    for (int mode = 0; mode < 3; ++mode) {
        w.findChild<QRadioButton *>(QStringLiteral("OptIndex_%1").arg(mode))->click();
        w.resize(1100, 700);
        shoot(w, out + QStringLiteral("/link-mode%1.png").arg(mode));
        w.resize(smallest);
        shoot(w, out + QStringLiteral("/link-mode%1-small.png").arg(mode));
    }

    // A firmware image chosen as a profile by mistake.
    w.findChild<QRadioButton *>(QStringLiteral("OptIndex_1"))->click();
    prompts.nextOpenFile = image.fileName();
    w.findChild<QPushButton *>(QStringLiteral("btOpenFile"))->click();

    // The question before a load, then the load on the window's line: the shot is taken while it
    // runs, then the load is broken off.
    w.findChild<QTableWidget *>(QStringLiteral("flexObjects"))->setCurrentCell(0, 1);
    w.resize(1100, 700);
    w.findChild<QRadioButton *>(QStringLiteral("OptIndex_0"))->click();
    auto *percent = w.findChild<QLabel *>(QStringLiteral("lblPercent"));
    auto *escape = w.findChild<QPushButton *>(QStringLiteral("cmdEscapeTransmit"));
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (percent->text().startsWith(QStringLiteral("Загружено 2"))) {
            poll.stop();
            shoot(w, out + QStringLiteral("/firmware-panel.png"));
            escape->click();
        }
    });
    poll.start(50);
    QTimer::singleShot(180000, escape, &QPushButton::click);
    w.findChild<QPushButton *>(QStringLiteral("cmdLoad"))->click();
    waitFor([&] { return w.line().isIdle(); }, 240000);

    // The terminal's history: the load just broken off, and what went before.
    OperationHistory history(db);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    history.record({now.addDays(-2), OperationHistory::Operation::ReadProfile, QStringLiteral("Грузовик 12"),
                    QStringLiteral("+79161234567"), device, OperationHistory::Result::Ok, QStringLiteral("отправлено")},
                   error);
    history.record({now.addDays(-2).addSecs(40), OperationHistory::Operation::ProfileReceived, QStringLiteral("Грузовик 12"),
                    QStringLiteral("+79161234567"), device, OperationHistory::Result::Ok,
                    home.filePath(QStringLiteral("BIN/9161234567.bin"))},
                   error);
    w.findChild<QPushButton *>(QStringLiteral("cmdHistory"))->click();
    if (auto *dialog = w.findChild<QDialog *>(QStringLiteral("frmHistory"))) {
        waitFor([] { return false; }, 300);
        shoot(*dialog, out + QStringLiteral("/history.png"));
        dialog->close();
    }
    w.close();
    sim.kill();
    sim.waitForFinished();
    return 0;
}
