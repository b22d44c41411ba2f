#include "nexil/excel/datafilewriter.h"
#include "store/workfolder.h"
#include "ui/chartcommand.h"
#include "ui/dialoggraphic.h"

#include <QApplication>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QTranslator>
#include <QtTest>

class tst_ChartCommand : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void writesThePng();
    void failures_data();
    void failures();
    void programDrawsWithoutADisplay();
    void windowSpeaksTheWorkingFoldersLanguage();

private:
    int run(const QStringList &arguments);

    QTemporaryDir m_dir;
    QString m_file;
    QString m_out;
    QString m_err;
};

void tst_ChartCommand::initTestCase()
{
    m_file = m_dir.filePath(QStringLiteral("D15A012_01032024.xml"));
    QVERIFY(datafile::write(m_file, {{0, "AH", "Seviye", "cm"}, {4, "YG", "Yağış", "mm"}},
                            {{0, "INS", "2024-03-01", "10:00", 10},
                             {0, "INS", "2024-03-02", "10:00", 20},
                             {4, "INS", "2024-03-01", "10:00", 1},
                             {0, "MIN", "2024-03-01", "04:00", 5},
                             {0, "MAX", "2024-03-01", "15:00", 25}}));
}

int tst_ChartCommand::run(const QStringList &arguments)
{
    m_out.clear();
    m_err.clear();
    QTextStream out(&m_out), err(&m_err);
    return runChartCommand(QStringList{QStringLiteral("tqm510")} + arguments, out, err);
}

void tst_ChartCommand::writesThePng()
{
    const QString png = m_dir.filePath(QStringLiteral("chart.png"));
    QCOMPARE(run({"--chart", m_file, "--channels", "0,4", "--png", png, "--size", "800x500"}), 0);
    QVERIFY(m_err.isEmpty());
    QImage image;
    QVERIFY(image.load(png, "PNG"));
    QCOMPARE(image.size(), QSize(800, 500));

    // Written again in place, at the default size.
    QCOMPARE(run({"--chart", m_file, "--channels", "0", "--daily", "--png", png}), 0);
    QVERIFY(image.load(png, "PNG"));
    QCOMPARE(image.size(), QSize(1600, 900));
    // The daily maxima are red, which no line of the theme is.
    bool red = false;
    for (int y = 0; y < image.height() && !red; ++y)
        for (int x = 0; x < image.width() && !red; ++x)
            red = image.pixelColor(x, y) == QColor(Qt::red);
    QVERIFY(red);

    QCOMPARE(run({"--chart", "--help"}), 0);
    QVERIFY(m_out.contains(QStringLiteral("--channels")));
}

void tst_ChartCommand::failures_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("reason");
    const QString missing = m_dir.filePath(QStringLiteral("missing.xml"));
    const QString broken = m_dir.filePath(QStringLiteral("broken.xml"));
    QFile file(broken);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<device><header><station>");
    file.close();
    const QString png = m_dir.filePath(QStringLiteral("failed.png"));
    const QString unwritable = m_dir.filePath(QStringLiteral("no/folder/chart.png"));

    QTest::newRow("missing file") << QStringList{"--chart", missing, "--png", png} << 1
                                  << "Cannot read " + missing;
    QTest::newRow("not well-formed") << QStringList{"--chart", broken, "--png", png} << 1
                                     << broken + " is not a well-formed data file";
    QTest::newRow("unknown channel") << QStringList{"--chart", m_file, "--channels", "0,7", "--png", png} << 1
                                     << m_file + " has no channel 7.";
    QTest::newRow("unwritable image")
        << QStringList{"--chart", m_file, "--channels", "0", "--png", unwritable} << 1
        << "Cannot write " + unwritable;
    QTest::newRow("image of no file") << QStringList{"--chart", "--png", png} << 2
                                      << "--png and --channels need a data file after --chart.";
    QTest::newRow("bad channels") << QStringList{"--chart", m_file, "--channels", "0,x", "--png", png} << 2
                                  << "--channels takes channel ids";
    QTest::newRow("daily of two") << QStringList{"--chart", m_file,  "--channels", "0,4",
                                                 "--daily", "--png", png}
                                  << 2 << "--daily draws the daily extremes of one channel";
    QTest::newRow("daily of none") << QStringList{"--chart", m_file, "--daily", "--png", png} << 2
                                   << "--daily draws the daily extremes of one channel";
    QTest::newRow("bad size") << QStringList{"--chart", m_file, "--png", png, "--size", "0x900"} << 2
                              << "--size takes WIDTHxHEIGHT";
    QTest::newRow("size without image")
        << QStringList{"--chart", m_file, "--size", "800x600"} << 2 << "--size needs --png.";
    QTest::newRow("stray argument") << QStringList{"--chart", m_file, "other.xml"} << 2
                                    << "Unexpected argument";
}

void tst_ChartCommand::failures()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, reason);
    QCOMPARE(run(arguments), status);
    QVERIFY2(m_err.startsWith(reason), qPrintable(m_err));
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("failed.png"))));
}

void tst_ChartCommand::programDrawsWithoutADisplay()
{
    // From a script with no display and no platform named.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    const QString program = qEnvironmentVariable("TQM510");
    QVERIFY(QFileInfo(program).isExecutable());
    const QString png = m_dir.filePath(QStringLiteral("program.png"));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, {"--chart", m_file, "--channels", "4", "--png", png, "--size", "640x480"});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(QImage(png).size(), QSize(640, 480));

    process.start(program, {"--chart", m_dir.filePath(QStringLiteral("missing.xml")), "--png", png});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 1);
    QVERIFY(process.readAllStandardError().contains("Cannot read "));
}

void tst_ChartCommand::windowSpeaksTheWorkingFoldersLanguage()
{
    // A working folder with the program's Turkish and no language chosen.
    const QString work = m_dir.filePath(QStringLiteral("work"));
    QVERIFY(QDir().mkpath(work + QStringLiteral("/lang")));
    QVERIFY(QDir().mkpath(work + QStringLiteral("/files")));
    QVERIFY(QFile::copy(qEnvironmentVariable("NEXIL_BUILD_DIR") + QStringLiteral("/lang/tr_tr.qm"),
                        work + QStringLiteral("/lang/tr_tr.qm")));
    const QString english = QStringLiteral("The image could not be encoded.");
    QCOMPARE(QCoreApplication::translate("DialogGraphic", english.toUtf8().constData()), english);

    QString shownText, startFolder;
    bool shown = false;
    QTimer::singleShot(0, [&] {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            auto *dialog = qobject_cast<DialogGraphic *>(window);
            if (!dialog || !dialog->isVisible())
                continue;
            shown = true;
            // Translated before the window opened.
            shownText = QCoreApplication::translate("DialogGraphic", english.toUtf8().constData());
            startFolder = dialog->startFolder();
            dialog->close();
        }
    });
    QCOMPARE(run({"--chart", "--workdir", work}), 0);
    QVERIFY2(m_err.isEmpty(), qPrintable(m_err));
    QVERIFY(shown);
    QCOMPARE(shownText, QString::fromUtf8("Görüntü kodlanamadı."));
    QCOMPARE(WorkFolder::current().root(), work);
    QCOMPARE(startFolder, work + QStringLiteral("/files"));

    for (QTranslator *translator : qApp->findChildren<QTranslator *>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
    WorkFolder::setCurrent(WorkFolder());
}

QTEST_MAIN(tst_ChartCommand)
#include "tst_chartcommand.moc"
