// The German catalogues: every text of the sources has its German, the placeholders and menu
// accelerators survive the translation, and the built catalogues reach the windows' state rows
// while the status command keeps its English.

#include "ui/StateRows.h"

#include "../common/JsonCases.h"

#include <QCoreApplication>
#include <QDomDocument>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

namespace {
const QString kCases = QStringLiteral("tests/translations/data/translations.json");

QStringList placeholders(const QString &text)
{
    static const QRegularExpression marker(QStringLiteral("%(n|\\d)"));
    QStringList found;
    for (auto it = marker.globalMatch(text); it.hasNext();)
        found.append(it.next().captured());
    found.sort();
    return found;
}

bool hasAccelerator(const QString &text)
{
    return text.contains(QRegularExpression(QStringLiteral("&[^& ]")));
}
} // namespace

class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    // lupdate over the sources, into a copy of the catalogue: a text without its German comes in
    // as unfinished, so a new window text cannot land untranslated.
    void catalogueComplete_data() { JsonCases::addRows(kCases, QStringLiteral("catalogs")); }

    void catalogueComplete()
    {
        QFETCH(const QJsonObject, row);
        QTemporaryDir dir;
        const QString copy = dir.filePath(QStringLiteral("copy.ts"));
        QVERIFY(QFile::copy(QStringLiteral(QUILLON_SOURCE_DIR "/") + row[QStringLiteral("ts")].toString(), copy));
        QStringList arguments{QStringLiteral("-locations"), QStringLiteral("none"), QStringLiteral("-no-obsolete")};
        for (const QString &folder : JsonCases::strings(row[QStringLiteral("sources")]))
            arguments.append(QStringLiteral(QUILLON_SOURCE_DIR "/") + folder);
        arguments << QStringLiteral("-ts") << copy;
        QProcess lupdate;
        lupdate.start(QStringLiteral(QUILLON_LUPDATE), arguments);
        QVERIFY(lupdate.waitForFinished(120000));
        QCOMPARE(lupdate.exitCode(), 0);

        QFile file(copy);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QDomDocument document;
        QVERIFY(document.setContent(&file));
        const QDomNodeList messages = document.elementsByTagName(QStringLiteral("message"));
        QVERIFY(messages.size() > 0);
        QStringList faults;
        for (int i = 0; i < messages.size(); ++i) {
            const QDomElement message = messages.at(i).toElement();
            const QString source = message.firstChildElement(QStringLiteral("source")).text();
            const QDomElement translation = message.firstChildElement(QStringLiteral("translation"));
            const QString german = translation.text();
            if (translation.attribute(QStringLiteral("type")) == QLatin1String("unfinished") || german.isEmpty())
                faults.append(QStringLiteral("no German: ") + source);
            else if (message.attribute(QStringLiteral("numerus")) != QLatin1String("yes")
                     && placeholders(source) != placeholders(german))
                faults.append(QStringLiteral("placeholders differ: ") + source + QStringLiteral(" / ") + german);
            else if (hasAccelerator(source) != hasAccelerator(german))
                faults.append(QStringLiteral("accelerator differs: ") + source + QStringLiteral(" / ") + german);
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
    }

    // The built catalogues as the program loads them: the state window speaks German, the
    // status command's rows stay English, and a text from outside is shown as it came.
    void stateRowsInGerman_data() { JsonCases::addRows(kCases, QStringLiteral("stateRows")); }

    void stateRowsInGerman()
    {
        QFETCH(const QJsonObject, row);
        QTranslator program;
        QTranslator frame;
        QVERIFY(program.load(QStringLiteral(QUILLON_QM_DIR "/Quillon_de")));
        QVERIFY(frame.load(QStringLiteral(QUILLON_QM_DIR "/lib_de")));
        QCoreApplication::installTranslator(&program);
        QCoreApplication::installTranslator(&frame);
        StateRows::Input input;
        input.dmsState = DmsHandler::DmsState(row[QStringLiteral("dmsState")].toInt());
        input.mailError = row[QStringLiteral("mailError")].toString();
        input.importInfo = row[QStringLiteral("importInfo")].toString(QStringLiteral("Idle"));
        input.searchInfo = QStringLiteral("Idle");
        const auto texts = [&](StateRows::Wording wording) {
            QStringList lines;
            for (const Kyr::State_UI::StateRecord &record : StateRows::build(input, wording))
                lines.append(record.name + QStringLiteral(": ") + record.text);
            return lines;
        };
        const QStringList window = texts(StateRows::Wording::Window);
        const QStringList plain = texts(StateRows::Wording::Plain);
        QCoreApplication::removeTranslator(&program);
        QCoreApplication::removeTranslator(&frame);
        for (const QString &line : JsonCases::strings(row[QStringLiteral("window")]))
            QVERIFY2(window.contains(line), qPrintable(window.join(u'\n')));
        for (const QString &line : JsonCases::strings(row[QStringLiteral("plain")]))
            QVERIFY2(plain.contains(line), qPrintable(plain.join(u'\n')));
    }
};

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
