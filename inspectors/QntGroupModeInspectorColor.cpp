#include "inspectors/QntGroupModeInspector.h"

#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementArrow.h"

#include <QComboBox>
#include <QFormLayout>
#include <QSlider>

#include <cmath>

// The colour pane: a colour scheme and an opacity for every selected object.

QWidget *QntGroupModeInspector::buildColorPane()
{
    auto *pane = new QWidget;
    pane->setObjectName(paneName(ElementColor));
    auto *form = new QFormLayout(pane);
    _schemePopUpButton = new QComboBox(pane);
    _schemePopUpButton->setObjectName(QStringLiteral("colorScheme"));
    m_schemeRow = new QWidget(pane);
    auto *schemeRow = new QFormLayout(m_schemeRow);
    schemeRow->setContentsMargins(0, 0, 0, 0);
    schemeRow->addRow(tr("Colour scheme"), _schemePopUpButton);
    form->addRow(m_schemeRow);
    form->addRow(buildElementStyleSection(pane));
    connect(_schemePopUpButton, &QComboBox::activated, this, [this](int index) {
        const QVariant id = _schemePopUpButton->itemData(index);
        if (id.isValid())
            colorMatrixAction(id.toLongLong());
    });
    _transparencySlider = new QSlider(Qt::Horizontal, pane);
    _transparencySlider->setObjectName(QStringLiteral("transparency"));
    _transparencySlider->setRange(0, 100);
    _transparencySlider->setValue(100);
    _transparencySlider->setTracking(false);
    form->addRow(tr("Opacity"), _transparencySlider);
    connect(_transparencySlider, &QSlider::valueChanged, this,
            [this](int value) { transparencyAction(value / 100.0); });

    form->addRow(buildGeometryView(pane));
    form->addRow(buildDefaultsMenu(QStringLiteral("elementDefaults"), pane, false));
    return pane;
}

void QntGroupModeInspector::colorMatrixAction(qint64 schemeId)
{
    // The placeholder swatches of a scheme grid carry no scheme.
    if (schemeId < 0)
        return;
    changeSelection(tr("Change Color Scheme"), [schemeId](const VRObjectRef &o) {
        if (!o->isKindOf<QntElement>() && !o->isKindOf<QntConnector>())
            return false;
        o->replaceColorScheme(schemeId);
        return true;
    });
}

void QntGroupModeInspector::transparencyAction(double coefficient)
{
    if (!std::isfinite(coefficient))
        return;
    const double coef = std::clamp(coefficient, 0.0, 1.0);
    changeSelection(tr("Change Transparency"), [coef](const VRObjectRef &o) {
        if (!o->isKindOf<QntElement>() && !o->isKindOf<QntElementArrow>())
            return false;
        o->changeTransparencyWithCoef(coef);
        return true;
    });
}
