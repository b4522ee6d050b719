#include "model/ImageHandle.h"

ImageHandle::ImageHandle(QImage image)
    : m_data(image.isNull() ? nullptr : std::make_shared<const Data>(Data{std::move(image)}))
{
}

QImage ImageHandle::image() const
{
    return m_data ? m_data->image : QImage();
}

QSize ImageHandle::size() const
{
    return m_data ? m_data->image.size() : QSize();
}

bool ImageHandle::isNull() const
{
    return !m_data;
}
