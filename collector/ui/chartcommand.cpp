#include "chartcommand.h"

#include "dialoggraphic.h"
#include "nexil/logging.h"
#include "startup.h"
#include "store/workfolder.h"

#include <QApplication>
#include <QCheckBox>
#include <QCommandLineParser>
#include <QRegularExpression>
#include <QTextStream>

#include <cstring>

namespace {

bool hasOption(int argc, char **argv, const char *name)
{
    const size_t length = std::strlen(name);
    for (int i = 1; i < argc; ++i)
        if (!std::strncmp(argv[i], name, length) && (argv[i][length] == '\0' || argv[i][length] == '='))
            return true;
    return false;
}

} // namespace

bool isChartCommand(int argc, char **argv)
{
    return hasOption(argc, argv, "--chart");
}

int chartMain(int argc, char **argv)
{
    // Neither an image nor the help needs a display.
    const bool windowless =
        hasOption(argc, argv, "--png") || hasOption(argc, argv, "--help") || hasOption(argc, argv, "-h");
    if (windowless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return runChartCommand(QApplication::arguments(), out, err);
}

int runChartCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "tqm510 --chart [FILE] [--channels 0,4,8] [--daily] [--png OUT.png [--size 1600x900]] "
        "[--workdir DIR]\n"
        "Draws the values of a data file as a chart in the chart viewer window, or with --png into an\n"
        "image (offscreen, no display needed) and exits. Exit status 0, 1 when the file cannot be read\n"
        "or the image not written (the reason on standard error), 2 for a usage error."));
    const QCommandLineOption chartOption(QStringLiteral("chart"), QStringLiteral("The XML data file."),
                                         QStringLiteral("FILE"));
    const QCommandLineOption channelsOption(
        QStringLiteral("channels"), QStringLiteral("Ids of the channels to draw, separated by commas."),
        QStringLiteral("0,4,8"));
    const QCommandLineOption dailyOption(
        QStringLiteral("daily"), QStringLiteral("Also draw the daily minima and maxima (one channel)."));
    const QCommandLineOption pngOption(QStringLiteral("png"),
                                       QStringLiteral("Write the chart into this PNG image."),
                                       QStringLiteral("OUT.png"));
    const QCommandLineOption sizeOption(QStringLiteral("size"),
                                        QStringLiteral("Size of the image in pixels (default 1600x900)."),
                                        QStringLiteral("WIDTHxHEIGHT"), QStringLiteral("1600x900"));
    const QCommandLineOption workdirOption(
        QStringLiteral("workdir"),
        QStringLiteral("The working folder: its language, and where the file dialogs start."),
        QStringLiteral("DIR"));
    const QCommandLineOption verboseOption(QStringLiteral("verbose"),
                                           QStringLiteral("Show the diagnostics on standard error."));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Show this help."));
    parser.addOptions({chartOption, channelsOption, dailyOption, pngOption, sizeOption, workdirOption,
                       verboseOption, helpOption});

    if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"))) {
        out << parser.helpText();
        out.flush();
        return 0;
    }
    auto usage = [&](const QString &message) {
        err << message << Qt::endl;
        return 2;
    };
    // "--chart" without a file (a launcher with no file to pass) opens the
    // viewer with none, as the main window can.
    QStringList given = arguments;
    for (int i = 0; i < given.size(); ++i)
        if (given[i] == QLatin1String("--chart") &&
            (i + 1 == given.size() || given[i + 1].startsWith(QLatin1Char('-'))))
            given.insert(i + 1, QString());
    if (!parser.parse(given))
        return usage(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return usage(
            QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().constFirst()));
    if (parser.isSet(verboseOption))
        enableDebugOutput({QStringLiteral("nexil"), QStringLiteral("collector")});

    const QString file = parser.value(chartOption);
    if (file.isEmpty() && (parser.isSet(pngOption) || parser.isSet(channelsOption)))
        return usage(QStringLiteral("--png and --channels need a data file after --chart."));
    QVector<int> channels;
    if (parser.isSet(channelsOption)) {
        for (const QString &text : parser.value(channelsOption).split(QLatin1Char(','))) {
            bool ok = false;
            const int id = text.trimmed().toInt(&ok);
            if (!ok || id < 0)
                return usage(QStringLiteral("--channels takes channel ids separated by commas, not \"%1\".")
                                 .arg(parser.value(channelsOption)));
            channels.append(id);
        }
    }
    const bool daily = parser.isSet(dailyOption);
    if (daily && channels.size() != 1)
        return usage(
            QStringLiteral("--daily draws the daily extremes of one channel: give one in --channels."));
    const QRegularExpressionMatch size =
        QRegularExpression(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$")).match(parser.value(sizeOption));
    const int width = size.captured(1).toInt(), height = size.captured(2).toInt();
    if (!size.hasMatch() || width < 1 || height < 1 || width > 10000 || height > 10000)
        return usage(QStringLiteral("--size takes WIDTHxHEIGHT, each from 1 to 10000, not \"%1\".")
                         .arg(parser.value(sizeOption)));
    if (parser.isSet(sizeOption) && !parser.isSet(pngOption))
        return usage(QStringLiteral("--size needs --png."));

    // The same working folder and language as the main window.
    const QString programDir = QCoreApplication::applicationDirPath();
    WorkFolder::setCurrent(WorkFolder::resolve(parser.value(workdirOption),
                                               qEnvironmentVariable("TQM510_WORKDIR"), programDir,
                                               programDir + QStringLiteral("/../share/tqm510")));
    if (!parser.isSet(pngOption))
        Startup::installTranslation(Startup::startupLanguage(), WorkFolder::current().langDir());

    auto *dialog = new DialogGraphic(file);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QScopedPointer<DialogGraphic> owner(dialog);
    if (dialog->loadStatus() == ChartFile::Unreadable) {
        err << QStringLiteral("Cannot read %1: %2").arg(file, dialog->loadError()) << Qt::endl;
        return 1;
    }
    if (dialog->loadStatus() == ChartFile::Malformed) {
        err << QStringLiteral("%1 is not a well-formed data file: %2").arg(file, dialog->loadError())
            << Qt::endl;
        return 1;
    }
    if (daily)
        dialog->findChild<QCheckBox *>(QStringLiteral("cbDailyMinMax"))->setChecked(true);
    const QVector<int> missing = dialog->selectChannels(channels);
    if (!missing.isEmpty()) {
        err << QStringLiteral("%1 has no channel %2.").arg(file).arg(missing.constFirst()) << Qt::endl;
        return 1;
    }

    if (parser.isSet(pngOption)) {
        dialog->on_btnNext_clicked();
        const QString png = parser.value(pngOption);
        QString error;
        if (!DialogGraphic::writePng(dialog->grabChart(QSize(width, height)), png, &error)) {
            err << QStringLiteral("Cannot write %1: %2").arg(png, error) << Qt::endl;
            return 1;
        }
        return 0;
    }
    if (!channels.isEmpty())
        dialog->on_btnNext_clicked();
    owner.take()->showMaximized();
    return QApplication::exec();
}
