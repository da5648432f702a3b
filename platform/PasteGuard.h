#pragma once

#include <QObject>

class QMimeData;

// Keeps a paste with nothing to paste from reaching a text view. An X selection whose owner has
// gone (or that nobody ever owned) still hands out a data object, only one without a single
// format, and Qt 6.4's text views read the first format of what they paste without checking
// that there is one. Installed on the application, the guard swallows the paste keys and the
// middle-button paste of every editable text view while the clipboard they would read has
// nothing in it; a paste with something in it goes on as usual. GUI thread only.
class PasteGuard : public QObject
{
    Q_OBJECT
public:
    explicit PasteGuard(QObject *parent = nullptr);

    // True when a text view can be handed the data: there is data and it has a format.
    static bool hasPasteableData(const QMimeData *data);

    bool eventFilter(QObject *watched, QEvent *event) override;
};
