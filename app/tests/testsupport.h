// Shared by the window tests: dialogs that answer from a script, and small .3do files.
#pragma once

#include "dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
#include <QFile>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// How long a test waits for something sure to come (a thumbnail, a frame, the window
// manager's answer) before calling it lost. Only a hang ever gets there: never a measure of
// speed, so a busy machine cannot fail a test.
inline constexpr int kEventually = 120000;

// Answers dialogs from queues and records every message box. A dialog asked for with an empty
// queue is answered with cancel and counted in Unexpected.
class TFakeDialogs : public TDialogs
{
public:
    QStringList FileAnswers;
    QList<std::optional<std::int32_t>> ColorAnswers;
    QList<QPair<QString, QString>> Messages; // caption, text
    QList<QMessageBox::Icon> Icons;          // one per message
    QStringList Filters;
    QStringList FileStarts; // one per file dialog, open or save
    QList<bool> AskAnswers;
    QStringList Questions;
    QList<std::int32_t> ColorPresets;
    QStringList FolderAnswers;
    QStringList FolderStarts;
    QList<std::optional<int>> ItemAnswers;
    QList<QStringList> ItemLists;
    QList<int> ItemCurrents;
    int Unexpected = 0;

    QString OpenFileName(QWidget*, const QString& filter, const QString& start = {}) override
    {
        Filters.append(filter);
        FileStarts.append(start);
        if (FileAnswers.isEmpty())
        {
            ++Unexpected;
            return QString();
        }
        return FileAnswers.takeFirst();
    }

    // Save dialogs answer from the same queue and record their filters in the same list.
    QString SaveFileName(QWidget* parent, const QString& filter, const QString& start = {}) override
    {
        return OpenFileName(parent, filter, start);
    }

    bool Ask(QWidget*, const QString&, const QString& text) override
    {
        Questions.append(text);
        if (AskAnswers.isEmpty())
        {
            ++Unexpected;
            return false;
        }
        return AskAnswers.takeFirst();
    }

    std::optional<std::int32_t> ChooseColor(QWidget*, std::int32_t initial) override
    {
        ColorPresets.append(initial);
        if (ColorAnswers.isEmpty())
        {
            ++Unexpected;
            return std::nullopt;
        }
        return ColorAnswers.takeFirst();
    }

    void Message(QWidget*, const QString& caption, const QString& text,
                 QMessageBox::Icon icon = QMessageBox::Information) override
    {
        Messages.append({caption, text});
        Icons.append(icon);
    }

    QString FolderName(QWidget*, const QString&, const QString& initial) override
    {
        FolderStarts.append(initial);
        if (FolderAnswers.isEmpty())
        {
            ++Unexpected;
            return QString();
        }
        return FolderAnswers.takeFirst();
    }

    std::optional<int> ChooseItem(QWidget*, const QString&, const QString&,
                                  const QStringList& items, int current) override
    {
        ItemLists.append(items);
        ItemCurrents.append(current);
        if (ItemAnswers.isEmpty())
        {
            ++Unexpected;
            return std::nullopt;
        }
        return ItemAnswers.takeFirst();
    }
};

// A model file with one geometry set per entry of `geoSets`, each entry listing the vertex
// count of each mesh. A mesh with three or more vertices gets one triangle. The nodes list the
// meshes backwards, so mesh m of a set with n meshes is carried by node n - 1 - m.
inline std::string ModelText(const std::vector<std::vector<int>>& geoSets, int firstNumber = 0)
{
    std::size_t meshes = 0;
    for (const auto& g : geoSets)
        meshes = std::max(meshes, g.size());
    std::string s = "3DO 2.1\r\nRADIUS 1.0\r\nINSERT OFFSET 0 0 0\r\nGEOSETS " +
                    std::to_string(geoSets.size()) + "\r\n";
    for (std::size_t g = 0; g < geoSets.size(); ++g)
    {
        s += "GEOSET " + std::to_string(g + static_cast<std::size_t>(firstNumber)) + "\r\n";
        s += "MESHES " + std::to_string(geoSets[g].size()) + "\r\n";
        for (std::size_t m = 0; m < geoSets[g].size(); ++m)
        {
            const int v = geoSets[g][m];
            s += "MESH " + std::to_string(m) + "\r\nNAME g" + std::to_string(g) + "m" +
                 std::to_string(m) + "\r\nRADIUS 0.5\r\nVERTICES " + std::to_string(v) + "\r\n";
            for (int i = 0; i < v; ++i)
                s += std::to_string(i) + ": " + std::to_string(i) + ".0 0.0 0.0 0.0\r\n";
            s += "TEXTURE VERTICES 1\r\n0: 0.5 0.5\r\n";
            if (v >= 3)
                s += "FACES 1\r\n0: 0 0x0000 4 3 0 0.0 3 0, 0 1, 0 2, 0\r\n";
            else
                s += "FACES 0\r\n";
        }
    }
    s += "HIERARCHY NODES " + std::to_string(meshes) + "\r\n";
    for (std::size_t k = 0; k < meshes; ++k)
        s += std::to_string(k) + ": 0x0000 0x00001 " + std::to_string(meshes - 1 - k) +
             " -1 -1 -1 0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 node" + std::to_string(k) + "\r\n";
    return s;
}

inline QString WriteTextFile(const QString& fileName, const std::string& text)
{
    QFile file(fileName);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text.data(), static_cast<qint64>(text.size()));
    return fileName;
}

inline QString ReadTextFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

// The texts of the message boxes shown so far.
inline std::vector<std::string> MessageTexts(const TFakeDialogs& dialogs)
{
    std::vector<std::string> texts;
    for (const auto& message : dialogs.Messages)
        texts.push_back(message.second.toStdString());
    return texts;
}

// Drags `urls` over the middle of `target` and, when the drag is taken, drops them there;
// whether the drop was taken.
inline bool DropUrls(QWidget* target, const QList<QUrl>& urls)
{
    QMimeData data;
    data.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &dropped);
    return dropped.isAccepted();
}
