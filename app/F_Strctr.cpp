#include "F_Strctr.h"

#include "dialogs.h"
#include "model/model.h"

#include <QAction>
#include <QCloseEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

TStructureForm* StructureForm = nullptr;

namespace
{
QTreeWidgetItem* AddChild(QTreeWidgetItem* parent, const QString& text)
{
    return new QTreeWidgetItem(parent, QStringList(text));
}

} // namespace

TStructureForm::TStructureForm(QAction* structureItem, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), FStructureItem(structureItem)
{
    setObjectName("StructureForm");
    setWindowTitle(QStringLiteral("3DO Structure"));
    SetOuterSize(this, QSize(231, 225), false);
    move(238, 139);

    Structure = new QTreeWidget(this);
    Structure->setObjectName("Structure");
    Structure->setHeaderHidden(true);
    Structure->setIndentation(19);
    Structure->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Structure);

    // FormCreate
    if (FStructureItem && FStructureItem->isChecked())
        show();
}

void TStructureForm::Rebuild()
{
    Structure->clear();
    auto* root = new QTreeWidgetItem(Structure, QStringList(QStringLiteral("3DO Model")));
    for (int g = 0; g < CurrentModel->Count(); ++g)
    {
        QTreeWidgetItem* geoSet = AddChild(root, QStringLiteral("GeometrySet %1").arg(g));
        for (const T3DOMesh& mesh : CurrentModel->Get(g).Meshes)
        {
            const QString text =
                (QStringLiteral("Mesh - [") + NameText(mesh.Name)).left(38) + QStringLiteral("]");
            QTreeWidgetItem* meshItem = AddChild(geoSet, text);
            AddChild(meshItem, QStringLiteral("Vertices %1").arg(mesh.Vertices.Count()));
            AddChild(meshItem, QStringLiteral("Faces %1").arg(mesh.Faces.Count()));
        }
    }
}

void TStructureForm::showEvent(QShowEvent* event)
{
    // A window restored by the window manager is not shown anew.
    if (!event->spontaneous())
        Rebuild();
    QWidget::showEvent(event);
}

void TStructureForm::closeEvent(QCloseEvent* event)
{
    if (FStructureItem)
        FStructureItem->setChecked(!FStructureItem->isChecked());
    QWidget::closeEvent(event);
}
