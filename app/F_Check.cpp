#include "F_Check.h"

#include <QLabel>
#include <QListWidget>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

TCheckForm::TCheckForm(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("CheckForm");
    setWindowTitle(QStringLiteral("Check for the Game"));
    resize(640, 320);

    Summary = new QLabel(this);
    Summary->setObjectName("Summary");
    Findings = new QListWidget(this);
    Findings->setObjectName("Findings");
    Findings->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Summary);
    layout->addWidget(Findings);
}

void TCheckForm::ShowFindings(const QString& modelName, const std::vector<TGameFinding>& findings)
{
    setWindowTitle(QStringLiteral("Check for the Game - ") + modelName);
    Summary->setText(QString::fromUtf8(FindingsSummary(findings)));
    Findings->clear();
    std::vector<const TGameFinding*> ordered;
    for (const TGameFinding& finding : findings)
        ordered.push_back(&finding);
    std::stable_partition(ordered.begin(), ordered.end(),
                          [](const TGameFinding* f) { return f->Severity == fsError; });
    for (const TGameFinding* finding : ordered)
    {
        auto* item = new QListWidgetItem(style()->standardIcon(finding->Severity == fsError
                                                                   ? QStyle::SP_MessageBoxCritical
                                                                   : QStyle::SP_MessageBoxWarning),
                                         QString::fromUtf8(FindingLine(*finding)), Findings);
        item->setToolTip(QString::fromStdString(finding->Code));
    }
    show();
    raise();
    activateWindow();
}

TCheckForm* CheckForm(QWidget* owner)
{
    if (auto* form =
            owner->findChild<TCheckForm*>(QStringLiteral("CheckForm"), Qt::FindDirectChildrenOnly))
        return form;
    return new TCheckForm(owner);
}
