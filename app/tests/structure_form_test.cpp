// The structure window's tree, rebuilt from the current model each time it is shown.
#include "F_Strctr.h"
#include "model/model.h"

#include <QAction>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace
{

// Every node's text in display order, children indented by two blanks per level.
QStringList Texts(QTreeWidget* tree)
{
    QStringList texts;
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
    {
        int depth = 0;
        for (QTreeWidgetItem* p = (*it)->parent(); p; p = p->parent())
            ++depth;
        texts << QString(2 * depth, QLatin1Char(' ')) + (*it)->text(0);
    }
    return texts;
}

T3DOMesh Mesh(const std::string& name, int vertices, int faces)
{
    T3DOMesh mesh;
    mesh.Name = name;
    for (int i = 0; i < vertices; ++i)
        mesh.Vertices.Add({});
    for (int i = 0; i < faces; ++i)
        mesh.Faces.Add({});
    return mesh;
}

} // namespace

class StructureFormTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { CreateEmptyModel(); }
    void cleanup() { FreeModel(); }

    void windowProperties()
    {
        QAction item(nullptr);
        TStructureForm form(&item);
        QCOMPARE(form.windowTitle(), QStringLiteral("3DO Structure"));
        QVERIFY(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(form.windowType(), Qt::Tool);
        QCOMPARE(form.pos(), QPoint(238, 139));
        QVERIFY(!form.isVisible());
        form.show();
        QTRY_COMPARE(form.frameGeometry(), QRect(238, 139, 231, 225));
        QCOMPARE(form.Structure->indentation(), 19);
        QCOMPARE(form.Structure->editTriggers(), QAbstractItemView::NoEditTriggers);
    }

    void startModelGivesFiveNodes()
    {
        QAction item(nullptr);
        TStructureForm form(&item);
        form.show();
        QCOMPARE(Texts(form.Structure),
                 (QStringList{"3DO Model", "  GeometrySet 0", "    Mesh - [NEWOBJECT]",
                              "      Vertices 0", "      Faces 0"}));
        QVERIFY(form.Structure->selectedItems().isEmpty());
        QVERIFY(!form.Structure->topLevelItem(0)->isExpanded());
    }

    void treeFollowsTheModelListsWhateverTheNodes()
    {
        // Two sets, the second empty; no hierarchy nodes at all.
        CurrentModel->Get(0).Meshes.Put(0, Mesh("first", 8, 6));
        CurrentModel->Get(0).Meshes.Add(Mesh(std::string(30, 'x'), 3, 1));
        CurrentModel->Add(T3DOGeoSet());
        HierarchyNodes->Clear();

        QAction item(nullptr);
        TStructureForm form(&item);
        form.show();
        const QString longName =
            QStringLiteral("    Mesh - [") + QString(30, QLatin1Char('x')) + QStringLiteral("]");
        QCOMPARE(Texts(form.Structure),
                 (QStringList{"3DO Model", "  GeometrySet 0", "    Mesh - [first]",
                              "      Vertices 8", "      Faces 6", longName, "      Vertices 3",
                              "      Faces 1", "  GeometrySet 1"}));
        QCOMPARE(longName.trimmed().size(), 39);
    }

    void longNamesAreCutToThirtyNineCharacters()
    {
        // The model never stores more than 30 characters, but the tree does not rely on it.
        CurrentModel->Get(0).Meshes.Get(0).Name = std::string(31, 'a') + "bcd";
        QAction item(nullptr);
        TStructureForm form(&item);
        form.show();
        QCOMPARE(Texts(form.Structure)[2], QStringLiteral("    Mesh - [") +
                                               QString(30, QLatin1Char('a')) + QStringLiteral("]"));
    }

    void namesShowEachByteAsOneCharacter()
    {
        // The file's bytes as they are, not UTF-8: 0xE9 is e acute, 0x80 the control U+0080.
        CurrentModel->Get(0).Meshes.Get(0).Name = "caf\xE9\x80\xC3\xA9";
        QAction item(nullptr);
        TStructureForm form(&item);
        form.show();
        QCOMPARE(Texts(form.Structure)[2],
                 QString::fromUtf16(u"    Mesh - [caf\u00E9\u0080\u00C3\u00A9]"));
    }

    void modelWithoutSetsGivesOneNode()
    {
        CurrentModel->Clear();
        QAction item(nullptr);
        TStructureForm form(&item);
        form.show();
        QCOMPARE(Texts(form.Structure), QStringList{"3DO Model"});
    }

    void showingAgainRebuildsButStayingVisibleDoesNot()
    {
        QAction item(nullptr);
        TStructureForm form(&item);
        form.show();
        CurrentModel->Get(0).Meshes.Get(0).Name = "changed";
        form.show();
        QCOMPARE(Texts(form.Structure)[2], QStringLiteral("    Mesh - [NEWOBJECT]"));
        form.hide();
        form.show();
        QCOMPARE(Texts(form.Structure)[2], QStringLiteral("    Mesh - [changed]"));
    }

    void closingFlipsTheCheckMark()
    {
        QAction item(nullptr);
        item.setCheckable(true);
        item.setChecked(true);
        TStructureForm form(&item); // a checked item shows the window at creation
        QVERIFY(form.isVisible());
        form.close();
        QVERIFY(!form.isVisible());
        QVERIFY(!item.isChecked());
    }
};

QTEST_MAIN(StructureFormTest)
#include "structure_form_test.moc"
