#include "mainwindow.h"
#include "support/scriptedquestions.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDomDocument>
#include <QDoubleSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

class tst_ManningMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void calculateFillsTheTable();
    void newResetsTheForm();
    void saveAsksOnceThenWritesInPlace();
    void cancelledFileDialogKeepsEverything();
    void failedSaveIsReportedAndKeepsTheChange();
    void saveQuestionOnNew_data();
    void saveQuestionOnNew();
    void saveQuestionOnClose_data();
    void saveQuestionOnClose();
    void qtSpeaksTurkish();

private:
    template<typename T> T *child(const char *name) { return m_window->findChild<T *>(QLatin1String(name)); }
    void trigger(const char *action) { child<QAction>(action)->trigger(); }
    void calculate(double base, double slope, int type, double max);
    int pointsIn(const QString &path);

    MainWindow *m_window = nullptr;
    ScriptedQuestions *m_questions = nullptr;
    QTemporaryDir m_dir;
};

void tst_ManningMainWindow::init()
{
    m_window = new MainWindow;
    m_questions = new ScriptedQuestions;
    m_window->setQuestions(m_questions);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void tst_ManningMainWindow::cleanup()
{
    delete m_window;
    m_window = nullptr;
    // Every question a test expected was asked, and nothing else.
    const bool pending = m_questions->pending();
    const int unanswered = m_questions->unanswered;
    delete m_questions;
    m_questions = nullptr;
    QVERIFY(!pending);
    QCOMPARE(unanswered, 0);
}

void tst_ManningMainWindow::calculate(double base, double slope, int type, double max)
{
    child<QDoubleSpinBox>("dsbChannelBaseWidth")->setValue(base);
    child<QDoubleSpinBox>("dsbChannelSlope")->setValue(slope);
    child<QComboBox>("cmbChannelType")->setCurrentIndex(type);
    child<QDoubleSpinBox>("dsbMaxLevel")->setValue(max);
    trigger("actionCalculate");
}

int tst_ManningMainWindow::pointsIn(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    QDomDocument doc;
    if (!doc.setContent(&file))
        return -1;
    return doc.documentElement().firstChildElement(QStringLiteral("WholeTable")).childNodes().size();
}

void tst_ManningMainWindow::calculateFillsTheTable()
{
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Manning Açık Kanal Debi Hesaplama Aracı"));
    QCOMPARE(child<QComboBox>("cmbChannelType")->currentText(), QStringLiteral("Dikdörtgen"));
    calculate(1.0, 0.2, 0, 1.0);
    auto *table = child<QTableWidget>("tableWidget");
    QCOMPARE(table->rowCount(), 101);
    QCOMPARE(table->horizontalHeaderItem(2)->text(), QStringLiteral("Hız"));
    QCOMPARE(table->item(100, 0)->text(), QStringLiteral("1.00 m"));
    QCOMPARE(table->item(100, 1)->text(), QStringLiteral("2.0000 m2"));
    QCOMPARE(table->item(100, 1)->data(Qt::UserRole).toFloat(), 2.0f);
    QCOMPARE(table->item(100, 0)->data(Qt::UserRole).toFloat(), 100.0f);
    QVERIFY(table->item(100, 2)->text().endsWith(QLatin1String(" m/s")));
    QVERIFY(table->item(100, 3)->text().endsWith(QLatin1String(" m3/s")));
    QCOMPARE(table->item(5, 3)->data(Qt::TextAlignmentRole).toInt(), 6 | Qt::AlignVCenter);
    QVERIFY(m_window->isChanged());

    // No base: the empty first row is zero, not "nan".
    calculate(0.0, 0.2, 1, 0.1);
    QCOMPARE(table->rowCount(), 11);
    QCOMPARE(table->item(0, 2)->text(), QStringLiteral("0.0000 m/s"));
    QCOMPARE(table->item(0, 3)->text(), QStringLiteral("0.000 m3/s"));
}

void tst_ManningMainWindow::newResetsTheForm()
{
    calculate(2.5, 1.0, 1, 0.5);
    m_questions->answer(QMessageBox::No);
    trigger("actionNew");
    QCOMPARE(m_questions->asked.size(), 1);
    QCOMPARE(child<QTableWidget>("tableWidget")->rowCount(), 0);
    QCOMPARE(child<QDoubleSpinBox>("dsbChannelBaseWidth")->value(), 0.0);
    QCOMPARE(child<QDoubleSpinBox>("dsbChannelSlope")->value(), 0.0);
    QCOMPARE(child<QComboBox>("cmbChannelType")->currentIndex(), 0);
    QCOMPARE(child<QDoubleSpinBox>("dsbMaxLevel")->value(), 0.0);
    QVERIFY(!m_window->isChanged());
}

void tst_ManningMainWindow::saveAsksOnceThenWritesInPlace()
{
    const QString path = m_dir.filePath(QStringLiteral("kanal.xml"));
    calculate(1.0, 0.2, 0, 0.2);
    m_questions->choose(path);
    trigger("actionSave");
    QCOMPARE(m_questions->asked.size(), 1);
    QCOMPARE(m_questions->last().kind, ScriptedQuestions::SaveFile);
    QCOMPARE(m_questions->last().title, QStringLiteral("Kaydet"));
    QCOMPARE(m_questions->last().filter, QStringLiteral("XML Dosya (*.xml)"));
    QCOMPARE(pointsIn(path), 21);
    QVERIFY(!m_window->isChanged());
    QCOMPARE(m_window->currentFileName(), path);

    calculate(1.0, 0.2, 0, 0.4);
    trigger("actionSave");
    QCOMPARE(m_questions->asked.size(), 1);
    QCOMPARE(pointsIn(path), 41);
    QVERIFY(!m_window->isChanged());
}

void tst_ManningMainWindow::cancelledFileDialogKeepsEverything()
{
    calculate(1.0, 0.2, 0, 0.2);
    m_questions->choose(QString());
    trigger("actionSaveAs");
    QCOMPARE(m_questions->asked.size(), 1);
    QVERIFY(m_window->isChanged());
    QVERIFY(m_window->currentFileName().isEmpty());
    QCOMPARE(child<QTableWidget>("tableWidget")->rowCount(), 21);
}

void tst_ManningMainWindow::failedSaveIsReportedAndKeepsTheChange()
{
    calculate(1.0, 0.2, 0, 0.2);
    const QString path = m_dir.filePath(QStringLiteral("no/such/dir/kanal.xml"));
    m_questions->choose(path);
    m_questions->answer(QMessageBox::Ok);
    trigger("actionSaveAs");
    QCOMPARE(m_questions->asked.size(), 2);
    const ScriptedQuestions::Asked &box = m_questions->last();
    QCOMPARE(box.kind, ScriptedQuestions::Message);
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.title, QStringLiteral("Dosya Hatası"));
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(box.text.startsWith(QStringLiteral("Klasör bulunamadı: ")));
    QVERIFY(m_window->isChanged());
    QVERIFY(!QFile::exists(path));
}

void tst_ManningMainWindow::saveQuestionOnNew_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("cleared");
    QTest::addColumn<bool>("written");
    QTest::newRow("yes") << int(QMessageBox::Yes) << true << true;
    QTest::newRow("no") << int(QMessageBox::No) << true << false;
    QTest::newRow("cancel") << int(QMessageBox::Cancel) << false << false;
}

void tst_ManningMainWindow::saveQuestionOnNew()
{
    QFETCH(int, answer);
    QFETCH(bool, cleared);
    QFETCH(bool, written);
    const QString path = m_dir.filePath(QStringLiteral("new-%1.xml").arg(answer));

    calculate(1.0, 0.2, 0, 0.3);
    m_questions->choose(path);
    trigger("actionSave");
    QFile::remove(path);

    calculate(1.0, 0.2, 0, 0.3);
    m_questions->answer(QMessageBox::StandardButton(answer));
    trigger("actionNew");
    QCOMPARE(m_questions->asked.size(), 2);
    const ScriptedQuestions::Asked &box = m_questions->last();
    QCOMPARE(box.icon, QMessageBox::Question);
    QCOMPARE(box.title, QStringLiteral("Dosya"));
    QCOMPARE(box.text, QStringLiteral("Hesaplanan bilgiler kaydedilsin mi?"));
    QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QCOMPARE(child<QTableWidget>("tableWidget")->rowCount(), cleared ? 0 : 31);
    QCOMPARE(m_window->isChanged(), !cleared);
    QCOMPARE(QFile::exists(path), written);
    if (written)
        QCOMPARE(pointsIn(path), 31);
}

void tst_ManningMainWindow::saveQuestionOnClose_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("chooseName");
    QTest::addColumn<bool>("closed");
    QTest::newRow("yes") << int(QMessageBox::Yes) << true << true;
    QTest::newRow("yes, then no name") << int(QMessageBox::Yes) << false << false;
    QTest::newRow("no") << int(QMessageBox::No) << true << true;
    QTest::newRow("cancel") << int(QMessageBox::Cancel) << true << false;
}

void tst_ManningMainWindow::saveQuestionOnClose()
{
    QFETCH(int, answer);
    QFETCH(bool, chooseName);
    QFETCH(bool, closed);
    const QString path = m_dir.filePath(QStringLiteral("close-%1-%2.xml").arg(answer).arg(chooseName));

    calculate(1.0, 0.2, 0, 0.3);
    m_questions->answer(QMessageBox::StandardButton(answer));
    // Yes saves before closing, which asks for a name first.
    if (answer == QMessageBox::Yes)
        m_questions->choose(chooseName ? path : QString());
    trigger("actionQuit");
    QCOMPARE(m_questions->asked.first().title, QStringLiteral("Dosya"));
    QCOMPARE(m_questions->asked.size(), answer == QMessageBox::Yes ? 2 : 1);
    QCOMPARE(m_window->isVisible(), !closed);
    QCOMPARE(QFile::exists(path), answer == QMessageBox::Yes && chooseName);
    // Whatever was not saved is still on screen.
    if (!closed)
        QCOMPARE(child<QTableWidget>("tableWidget")->rowCount(), 31);
}

void tst_ManningMainWindow::qtSpeaksTurkish()
{
    QVERIFY(installQtTurkish(qApp));
    QMessageBox box(QMessageBox::Question, QStringLiteral("Dosya"), QStringLiteral("?"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Yes)->text().remove(QLatin1Char('&')), QStringLiteral("Evet"));
    QCOMPARE(box.button(QMessageBox::No)->text().remove(QLatin1Char('&')), QStringLiteral("Hayır"));
}

QTEST_MAIN(tst_ManningMainWindow)
#include "tst_manningmainwindow.moc"
