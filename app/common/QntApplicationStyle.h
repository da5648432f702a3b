#pragma once

#include <QHash>
#include <QIcon>
#include <QProxyStyle>

// The application's style: the style Qt chose (or the user, with -style) over which its standard
// icons made of Qt's own pictures are read as the PNG pictures they are. Qt's style reads them
// letting Qt find out their format, which loads every image-format plugin installed (a dozen
// libraries) to ask each about the picture: the first menu bar, at launch, would do so.
class QntApplicationStyle : public QProxyStyle
{
    Q_OBJECT
public:
    // Over a style made by QStyleFactory by its name.
    explicit QntApplicationStyle(const QString &key);

    // Puts one over the application's style; nothing when the style is not one it knows.
    static void install();

    QIcon standardIcon(StandardPixmap kind, const QStyleOption *option = nullptr,
                       const QWidget *widget = nullptr) const override;

private:
    mutable QHash<int, QIcon> m_icons;
};
