#pragma once

#include "app/undo/UndoDataSource.h"

// The model of the undo inspector's redo outline.
class RedoDataSource : public UndoDataSource
{
    Q_OBJECT
public:
    using UndoDataSource::UndoDataSource;
    UndoItem *rootItem() const override;

protected:
    void resetRoot() const override;
};
