#pragma once

#include "framework/undo/VRUndoManager.h"

// Turns undo registration off for its scope when it was on, and on again after; a manager that
// was already off (or none) is left alone.
class VRUndoRegistrationOff
{
public:
    explicit VRUndoRegistrationOff(VRUndoManager *undo)
        : m_undo(undo && undo->isUndoRegistrationEnabled() ? undo : nullptr)
    {
        if (m_undo)
            m_undo->disableUndoRegistration();
    }
    ~VRUndoRegistrationOff()
    {
        if (m_undo && !m_undo->isUndoRegistrationEnabled())
            m_undo->enableUndoRegistration();
    }
    VRUndoRegistrationOff(const VRUndoRegistrationOff &) = delete;
    VRUndoRegistrationOff &operator=(const VRUndoRegistrationOff &) = delete;

private:
    VRUndoManager *m_undo;
};
