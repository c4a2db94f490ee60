#include "TestInstallTree.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>

namespace {

const QString appId = QStringLiteral("org.prjkvr.KVRSetup");

struct ToolRun
{
    int code = -1;
    QString out;
    QString err;
};

ToolRun runTool(const QString &program, const QStringList &args, const QProcessEnvironment &env = {})
{
    QProcess p;
    if (!env.isEmpty())
        p.setProcessEnvironment(env);
    p.start(program, args);
    ToolRun r;
    if (p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit)
        r.code = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString tool(const char *name)
{
    return QStandardPaths::findExecutable(QString::fromLatin1(name));
}

} // namespace

void TestInstallTree::initTestCase()
{
    const QString failure = m_tree.install();
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

void TestInstallTree::layout()
{
    const QStringList files{
        QStringLiteral("share/applications/") + appId + QStringLiteral(".desktop"),
        QStringLiteral("share/metainfo/") + appId + QStringLiteral(".metainfo.xml"),
        QStringLiteral("share/icons/hicolor/scalable/apps/") + appId + QStringLiteral(".svg"),
        QStringLiteral("share/man/man1/kvrsetup.1.gz"),
        QStringLiteral("share/man/man1/kvrsetup-cli.1.gz"),
        QStringLiteral("share/man/man1/kvrsim.1.gz"),
        QStringLiteral("share/bash-completion/completions/kvrsetup-cli"),
        QStringLiteral("share/doc/kvrsetup/copyright"),
        QStringLiteral("share/doc/kvrsetup/changelog.gz"),
        QStringLiteral("share/lintian/overrides/kvrsetup"),
    };
    for (const QString &name : files) {
        const QFileInfo info(m_tree.path(name));
        QVERIFY2(info.isFile() && info.size() > 0, qPrintable(name));
        // Read by all, written by the owner only, executed by nobody.
        QCOMPARE(info.permissions() & ~(QFile::ReadUser | QFile::WriteUser),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }
    // The completion is the one the command table makes.
    QCOMPARE(readBytes(m_tree.path(QStringLiteral("share/bash-completion/completions/kvrsetup-cli"))),
             readBytes(QStringLiteral(KVR_SHIPPED_DATA_DIR "/kvrsetup-cli.bash")));
    QVERIFY(readBytes(m_tree.path(QStringLiteral("share/doc/kvrsetup/copyright")))
                .startsWith("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"));
}

void TestInstallTree::onlyTheProgramsInBin()
{
    const QDir bin(m_tree.path(QStringLiteral("bin")));
    QCOMPARE(bin.entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name),
             (QStringList{QStringLiteral("kvrsetup"), QStringLiteral("kvrsetup-cli"), QStringLiteral("kvrsim")}));
    for (const QFileInfo &program : bin.entryInfoList(QDir::Files))
        QVERIFY2(program.isExecutable() && (program.permissions() & QFile::ExeOther), qPrintable(program.fileName()));
}

void TestInstallTree::shippedFiles()
{
    const QDir shared(m_tree.path(QStringLiteral("share/kvrsetup")));
    QCOMPARE(shared.entryList(QDir::Files, QDir::Name),
             (QStringList{QStringLiteral("Const.ini"), QStringLiteral("Data.ini"), QStringLiteral("Rep03-1.xsl"),
                          QStringLiteral("about.html"), QStringLiteral("help.html")}));
    for (const QString &name : {QStringLiteral("Data.ini"), QStringLiteral("Rep03-1.xsl"), QStringLiteral("help.html")})
        QCOMPARE(readBytes(shared.filePath(name)), readBytes(QStringLiteral(KVR_SHIPPED_DATA_DIR "/") + name));
    // The first start finds its table named, as a build folder's first start writes it.
    QCOMPARE(readBytes(shared.filePath(QStringLiteral("Const.ini"))), QByteArray("Data.ini\r\n"));
}

void TestInstallTree::desktopEntry()
{
    const QString validate = tool("desktop-file-validate");
    if (validate.isEmpty())
        QSKIP("desktop-file-validate is not installed (Debian: desktop-file-utils)");
    const QString entry = m_tree.path(QStringLiteral("share/applications/") + appId + QStringLiteral(".desktop"));
    const ToolRun r = runTool(validate, {entry});
    QVERIFY2(r.code == 0 && r.out.isEmpty() && r.err.isEmpty(), qPrintable(r.out + r.err));
    const QString text = QString::fromUtf8(readBytes(entry));
    QVERIFY(text.contains(QStringLiteral("\nExec=kvrsetup\n")));
    QVERIFY(text.contains(QStringLiteral("\nIcon=") + appId + QLatin1Char('\n')));
    QVERIFY(text.contains(QStringLiteral("\nName[ru]=")));
}

void TestInstallTree::metainfo()
{
    const QString appstream = tool("appstreamcli");
    if (appstream.isEmpty())
        QSKIP("appstreamcli is not installed (Debian: appstream)");
    const QString file = m_tree.path(QStringLiteral("share/metainfo/") + appId + QStringLiteral(".metainfo.xml"));
    const ToolRun r = runTool(appstream, {QStringLiteral("validate"), QStringLiteral("--no-net"), file});
    QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
    const QString text = QString::fromUtf8(readBytes(file));
    QVERIFY(text.contains(QStringLiteral("<release version=\"" KVR_PROJECT_VERSION "\"")));
    QVERIFY(text.contains(QStringLiteral("<launchable type=\"desktop-id\">") + appId + QStringLiteral(".desktop<")));
}

void TestInstallTree::manPages_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("window") << QStringLiteral("kvrsetup");
    QTest::newRow("command line") << QStringLiteral("kvrsetup-cli");
    QTest::newRow("simulator") << QStringLiteral("kvrsim");
}

void TestInstallTree::manPages()
{
    QFETCH(QString, name);
    const QString man = tool("man");
    if (man.isEmpty())
        QSKIP("man is not installed (Debian: man-db)");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
    const ToolRun r = runTool(man, {QStringLiteral("--warnings"), QStringLiteral("-E"), QStringLiteral("UTF-8"),
                                    QStringLiteral("-l"), m_tree.path(QStringLiteral("share/man/man1/%1.1.gz").arg(name))},
                              env);
    QVERIFY2(r.code == 0 && r.err.isEmpty(), qPrintable(r.err));
    QVERIFY2(r.out.contains(name + QStringLiteral(" - ")), qPrintable(r.out.left(400)));
    QVERIFY(r.out.contains(QStringLiteral("СМОТРИТЕ ТАКЖЕ")));
}

void TestInstallTree::versionOfEveryProgram_data()
{
    manPages_data();
}

void TestInstallTree::versionOfEveryProgram()
{
    QFETCH(QString, name);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // No display: the version is said without one.
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    const ToolRun r = runTool(m_tree.path(QStringLiteral("bin/") + name), {QStringLiteral("--version")}, env);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(r.out.section(QLatin1Char('\n'), 0, 0), name + QStringLiteral(" " KVR_PROJECT_VERSION));
}
