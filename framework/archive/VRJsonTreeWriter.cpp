#include "framework/archive/VRJsonTreeWriter.h"

void VRJsonTreeWriter::add(const QJsonValue &v)
{
    if (m_frames.empty()) {
        if (v.isObject())
            m_result = v.toObject();
        return;
    }
    Frame &frame = m_frames.back();
    if (frame.object)
        frame.fields.insert(m_key, v);
    else
        frame.items.append(v);
}

void VRJsonTreeWriter::beginObject()
{
    Frame frame;
    frame.object = true;
    frame.key = m_key;
    m_frames.push_back(std::move(frame));
}

void VRJsonTreeWriter::beginArray()
{
    Frame frame;
    frame.key = m_key;
    m_frames.push_back(std::move(frame));
}

void VRJsonTreeWriter::end()
{
    Q_ASSERT(!m_frames.empty());
    Frame frame = std::move(m_frames.back());
    m_frames.pop_back();
    m_key = frame.key;
    if (frame.object)
        add(QJsonValue(std::move(frame.fields)));
    else
        add(QJsonValue(std::move(frame.items)));
}

void VRJsonTreeWriter::remove(QLatin1String key)
{
    Q_ASSERT(!m_frames.empty() && m_frames.back().object);
    m_frames.back().fields.remove(key);
}
