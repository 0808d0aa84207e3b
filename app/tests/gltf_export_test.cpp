// Game, Export glTF... driven with scripted dialogs: what is written, where the materials come
// from, and that a cancel or an error leaves no file.
#include "F_Main.h"
#include "formats/gob.h"
#include "model/model.h"
#include "testsupport.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTest>
#include <QtEndian>

#include <memory>

namespace
{
constexpr const char* kFilter = "glTF Binary (*.glb);;glTF (*.gltf)";

QByteArray ReadAll(const QString& fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The JSON of a .glb (magic "glTF", version 2, its length, then the JSON chunk) or of a .gltf;
// an empty object when the bytes are neither.
QJsonObject GltfJson(const QByteArray& bytes, bool binary)
{
    if (!binary)
        return QJsonDocument::fromJson(bytes).object();
    const auto word = [&bytes](int at)
    { return qFromLittleEndian<quint32>(bytes.constData() + at); };
    if (bytes.size() < 20 || !bytes.startsWith("glTF") || word(4) != 2 ||
        word(8) != static_cast<quint32>(bytes.size()) || bytes.mid(16, 4) != "JSON")
        return {};
    return QJsonDocument::fromJson(bytes.mid(20, static_cast<qsizetype>(word(12)))).object();
}

QString Samples(const char* name)
{
    return QStringLiteral(QUILLMARK_SAMPLES "/") + QString::fromLatin1(name);
}
} // namespace

class GltfExportTest : public QObject
{
    Q_OBJECT

private:
    TFakeDialogs FDialogs;
    std::unique_ptr<QTemporaryDir> FDir;

    void Open(const QString& fileName)
    {
        FDialogs.FileAnswers << fileName;
        MainForm->mnuFileOpen->trigger();
    }

    void Export(const QString& answer)
    {
        FDialogs.FileAnswers << answer;
        MainForm->mnuGameExportGltf->trigger();
        QCOMPARE(FDialogs.Filters.last(), QString::fromLatin1(kFilter));
    }

    QString Path(const char* name) const { return FDir->filePath(QString::fromLatin1(name)); }

    QStringList Files() const { return QDir(FDir->path()).entryList(QDir::Files, QDir::Name); }

private slots:
    void init()
    {
        FDialogs = TFakeDialogs();
        SetDialogs(&FDialogs);
        FDir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", FDir->filePath("cfg").toLocal8Bit());
        CreateForms();
    }

    void cleanup()
    {
        DestroyForms();
        SetDialogs(nullptr);
        QCOMPARE(FDialogs.Unexpected, 0);
    }

    void offeredInTheGameMenuOnceAModelIsLoaded()
    {
        QVERIFY(MainForm->mnuGame->actions().contains(MainForm->mnuGameExportGltf));
        QCOMPARE(MainForm->mnuGameExportGltf->text(), QStringLiteral("Export &glTF..."));
        QVERIFY(!MainForm->mnuGameExportGltf->isEnabled());
        Open(WriteTextFile(Path("two.3do"), ModelText({{3}, {6}})));
        QVERIFY(MainForm->mnuGameExportGltf->isEnabled());
    }

    void writesTheCurrentSetInTheContainerItsNameChooses()
    {
        // Its faces take material 0, which is nowhere: a warning box with each export.
        Open(WriteTextFile(Path("two.3do"), "MATERIALS 1\r\n0: x.mat\r\n" + ModelText({{3}, {6}})));
        QTest::mouseClick(MainForm->CurrGeoSet->UpButton, Qt::LeftButton);
        // No suffix: binary, ".glb" added.
        Export(Path("plain"));
        const QJsonObject glb = GltfJson(ReadAll(Path("plain.glb")), true);
        QCOMPARE(glb["asset"].toObject()["version"].toString(), QStringLiteral("2.0"));
        QCOMPARE(glb["meshes"].toArray().size(), 1);
        QCOMPARE(glb["meshes"].toArray()[0].toObject()["name"].toString(), QStringLiteral("g1m0"));

        Export(Path("text.GLTF"));
        const QByteArray text = ReadAll(Path("text.GLTF"));
        QVERIFY(text.startsWith('{'));
        QCOMPARE(GltfJson(text, false)["meshes"].toArray()[0].toObject()["name"].toString(),
                 QStringLiteral("g1m0"));
        QCOMPARE(Files(), (QStringList{"plain.glb", "text.GLTF", "two.3do"}));
        // The model's name with .glb is suggested, first beside nothing, then in the folder of
        // the last export.
        QCOMPARE(FDialogs.FileStarts.mid(1),
                 (QStringList{QStringLiteral("two.glb"), FDir->filePath("two.glb")}));
        QCOMPARE(FDialogs.Messages.size(), 2);
        QVERIFY(
            FDialogs.Messages[1].second.contains(QStringLiteral("\nMaterial not found: x.mat")));
    }

    void materialsAreFoundAsThePreviewFindsThem()
    {
        // Beside the model: the sample's mat and misc/cmp folders; the texture is embedded.
        Open(Samples("walker.3do"));
        Export(Path("walker.glb"));
        QVERIFY(FDialogs.Messages.isEmpty());
        QJsonObject json = GltfJson(ReadAll(Path("walker.glb")), true);
        QCOMPARE(json["images"].toArray().size(), 1);
        QCOMPARE(json["images"].toArray()[0].toObject()["mimeType"].toString(),
                 QStringLiteral("image/png"));

        // An archive's entry finds them in the archive.
        const std::shared_ptr<const TGobArchive> archive =
            TGobArchive::Open(Samples("samples.gob").toStdString());
        MainForm->OpenArchiveEntry(archive, Samples("samples.gob"),
                                   *archive->Find("3do\\walker.3do"));
        Export(Path("entry.gltf"));
        QVERIFY(FDialogs.Messages.isEmpty());
        json = GltfJson(ReadAll(Path("entry.gltf")), false);
        QVERIFY(json["images"].toArray()[0].toObject()["uri"].toString().startsWith(
            QStringLiteral("data:image/png;base64,")));

        // Alone, the model finds nothing: one box with the problems, the file still written
        // with the material named as the model names it.
        QFile::copy(Samples("walker.3do"), Path("alone.3do"));
        Open(Path("alone.3do"));
        Export(Path("alone.glb"));
        QCOMPARE(FDialogs.Messages.size(), 1);
        QCOMPARE(FDialogs.Icons[0], QMessageBox::Warning);
        const QStringList lines = FDialogs.Messages[0].second.split(QLatin1Char('\n'));
        QCOMPARE(lines.first(), QStringLiteral("The glTF file was written, with these problems:"));
        QVERIFY(lines.contains(QStringLiteral("Material not found: dflt.mat")));
        json = GltfJson(ReadAll(Path("alone.glb")), true);
        QCOMPARE(json["materials"].toArray()[0].toObject()["name"].toString(),
                 QStringLiteral("dflt.mat"));
        QVERIFY(json["images"].toArray().isEmpty());

        // The game folder the program saved supplies them.
        QDir().mkpath(FDir->filePath("cfg/Quillmark"));
        WriteTextFile(FDir->filePath("cfg/Quillmark/quillmark.ini"),
                      "[GAME]\r\nFolder=" + std::string(QUILLMARK_SAMPLES) + "\r\n");
        Export(Path("saved.glb"));
        QCOMPARE(FDialogs.Messages.size(), 1);
        QCOMPARE(GltfJson(ReadAll(Path("saved.glb")), true)["images"].toArray().size(), 1);
    }

    void cancelOrErrorLeavesNoFile()
    {
        Open(WriteTextFile(Path("one.3do"), ModelText({{3}})));
        const QStringList before = Files();
        Export(QString());
        QCOMPARE(Files(), before);
        QVERIFY(FDialogs.Messages.isEmpty());

        Export(Path("missing/out.glb"));
        QCOMPARE(MessageTexts(FDialogs), std::vector<std::string>{"I/O error 2"});
        QCOMPARE(FDialogs.Messages[0].first, QStringLiteral("Quillmark"));
        QCOMPARE(Files(), before);

        // A corner beyond the vertex list ends the export; the file already there is kept
        // whole and nothing is left beside it.
        Open(WriteTextFile(Path("bad.3do"),
                           "MATERIALS 1\r\n0: x.mat\r\nGEOSET 0\r\nMESH 0\r\nNAME bad\r\nVERTICES "
                           "3\r\n0: 0 0 0 0\r\n"
                           "1: 1 0 0 0\r\n2: 0 1 0 0\r\nFACES 1\r\n"
                           "0: 0 0x0 4 3 0 0 3 0,0 1,0 9,0\r\nHIERARCHY NODES 1\r\n"
                           "0: 0x0 0x0 0 -1 -1 -1 0 0 0 0 0 0 0 0 0 0 a\r\n"));
        WriteTextFile(Path("kept.glb"), "kept");
        const QStringList files = Files();
        FDialogs.Messages.clear();
        Export(Path("kept.glb"));
        QCOMPARE(MessageTexts(FDialogs),
                 std::vector<std::string>{"Mesh 'bad' has a face corner beyond its vertex list"});
        QCOMPARE(ReadAll(Path("kept.glb")), QByteArray("kept"));
        QCOMPARE(Files(), files);
    }
};

QTEST_MAIN(GltfExportTest)
#include "gltf_export_test.moc"
