// The user's tool order, pointer bindings, header button orders and annotation style: read once
// when a view model is made, written whole at once by every change.
//
// Stored layout in the injected QSettings (every value is UTF-8 JSON text in a QByteArray; JSON
// rather than QStringList/QVariantMap because the INI backend flattens a one-element list to a
// plain string, which would make "not a list of texts" impossible to tell apart):
//   "kivo.imageMarkup.toolOrder.v1"           ["select","crop","eyedropper",…]  tool raw values
//   "kivo.imageMarkup.pointerInteraction.v1"  {"mouseWheelAction":"zoom",…}    all five bindings
//   "kivo.headerToolbar.order.v1"             {"imageMarkup":["zoom",…],…}      mode → item raw values
//   "kivo.imageMarkup.stylePreset.v1"         {"colorHex":"#DC2626","fontSize":26,"lineWidth":4}
// A missing or unreadable value falls back to its default silently; a value that cannot be
// encoded (a non-finite number) leaves the stored value as it was.

#include "model/MarkupViewModel.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QSettings>

#include <algorithm>

namespace {

const QString toolOrderKey = QStringLiteral("kivo.imageMarkup.toolOrder.v1");
const QString pointerInteractionKey = QStringLiteral("kivo.imageMarkup.pointerInteraction.v1");
const QString headerToolbarOrderKey = QStringLiteral("kivo.headerToolbar.order.v1");
const QString stylePresetKey = QStringLiteral("kivo.imageMarkup.stylePreset.v1");

std::optional<QJsonDocument> storedJson(QSettings &defaults, const QString &key)
{
    const QVariant value = defaults.value(key);
    if (!value.isValid())
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(value.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError)
        return std::nullopt;
    return document;
}

// The texts of a JSON array, or nothing when it is not an array of texts only.
std::optional<QStringList> textList(const QJsonValue &value)
{
    if (!value.isArray())
        return std::nullopt;
    QStringList texts;
    for (const QJsonValue element : value.toArray()) {
        if (!element.isString())
            return std::nullopt;
        texts.append(element.toString());
    }
    return texts;
}

// Recognised raw values once each, in stored order; nothing kept → the default order; otherwise
// completed with the missing defaults in default order.
template<typename E>
std::vector<E> normalizedOrder(const QStringList &saved, const std::vector<E> &allowedInDefaultOrder)
{
    std::vector<E> kept;
    for (const QString &raw : saved) {
        const std::optional<E> value = RawValue::parse<E>(raw);
        if (!value || std::find(kept.begin(), kept.end(), *value) != kept.end())
            continue;
        if (std::find(allowedInDefaultOrder.begin(), allowedInDefaultOrder.end(), *value)
            == allowedInDefaultOrder.end())
            continue;
        kept.push_back(*value);
    }
    if (kept.empty())
        return allowedInDefaultOrder;
    for (const E value : allowedInDefaultOrder) {
        if (std::find(kept.begin(), kept.end(), value) == kept.end())
            kept.push_back(value);
    }
    return kept;
}

template<typename E>
QJsonArray rawValueArray(const std::vector<E> &values)
{
    QJsonArray array;
    for (const E value : values)
        array.append(RawValue::of(value));
    return array;
}

// Removes `dragged` and inserts it directly before `target`. False when either is missing or
// both are the same.
template<typename E>
bool moveBefore(std::vector<E> &order, E dragged, E target)
{
    if (dragged == target)
        return false;
    const auto from = std::find(order.begin(), order.end(), dragged);
    const auto to = std::find(order.begin(), order.end(), target);
    if (from == order.end() || to == order.end())
        return false;
    const auto fromIndex = from - order.begin();
    auto toIndex = to - order.begin();
    order.erase(from);
    if (fromIndex < toIndex)
        --toIndex;
    order.insert(order.begin() + toIndex, dragged);
    return true;
}

void store(QSettings &defaults, const QString &key, const QByteArray &json)
{
    defaults.setValue(key, json);
    defaults.sync();
}

} // namespace

std::vector<MarkupTool> MarkupViewModel::loadToolOrder(QSettings &defaults)
{
    const std::optional<QJsonDocument> document = storedJson(defaults, toolOrderKey);
    const std::optional<QStringList> saved = document && document->isArray()
        ? textList(QJsonValue(document->array()))
        : std::nullopt;
    if (!saved)
        return MarkupTools::defaultOrder();
    return normalizedOrder(*saved, MarkupTools::defaultOrder());
}

PointerInteractionSettings MarkupViewModel::loadPointerInteractionSettings(QSettings &defaults)
{
    const std::optional<QJsonDocument> document = storedJson(defaults, pointerInteractionKey);
    if (!document || !document->isObject())
        return PointerInteractionSettings();
    try {
        return PointerInteractionSettings::fromJson(QJsonValue(document->object()));
    } catch (const Json::DecodeError &) {
        return PointerInteractionSettings();
    }
}

std::vector<HeaderToolbarItem> MarkupViewModel::normalizedHeaderToolbarOrder(HeaderToolbarMode mode,
                                                                             const QStringList &saved)
{
    return normalizedOrder(saved, HeaderToolbarItems::defaultOrder(mode));
}

MarkupViewModel::HeaderToolbarOrders MarkupViewModel::loadHeaderToolbarOrders(QSettings &defaults)
{
    HeaderToolbarOrders orders;
    const std::optional<QJsonDocument> document = storedJson(defaults, headerToolbarOrderKey);
    std::optional<QJsonObject> stored;
    if (document && document->isObject()) {
        stored = document->object();
        // One value that is not a list of texts makes the whole dictionary unreadable.
        for (auto it = stored->constBegin(); it != stored->constEnd(); ++it) {
            if (!textList(it.value())) {
                stored.reset();
                break;
            }
        }
    }
    for (const HeaderToolbarMode mode : RawValue::allCases<HeaderToolbarMode>()) {
        if (!stored) {
            orders[mode] = HeaderToolbarItems::defaultOrder(mode);
            continue;
        }
        const QStringList saved = textList(stored->value(RawValue::of(mode))).value_or(QStringList());
        orders[mode] = normalizedHeaderToolbarOrder(mode, saved);
    }
    return orders;
}

StylePreset MarkupViewModel::loadStylePreset(QSettings &defaults)
{
    const std::optional<QJsonDocument> document = storedJson(defaults, stylePresetKey);
    if (!document || !document->isObject())
        return StylePreset();
    try {
        StylePreset preset = StylePreset::fromJson(QJsonValue(document->object()));
        preset.lineWidth = std::clamp(preset.lineWidth, minimumArrowLineWidth, maximumArrowLineWidth);
        preset.fontSize = std::clamp(preset.fontSize, minimumAnnotationFontSize, maximumAnnotationFontSize);
        return preset;
    } catch (const Json::DecodeError &) {
        return StylePreset();
    }
}

void MarkupViewModel::saveToolOrder()
{
    store(m_defaults, toolOrderKey, Json::compactText(rawValueArray(m_toolOrder)));
}

void MarkupViewModel::savePointerInteractionSettings()
{
    store(m_defaults, pointerInteractionKey, Json::compactText(m_pointerInteractionSettings.toJson()));
}

void MarkupViewModel::saveHeaderToolbarOrders()
{
    QJsonObject object;
    for (const auto &[mode, items] : m_headerToolbarOrders)
        object.insert(RawValue::of(mode), rawValueArray(items));
    store(m_defaults, headerToolbarOrderKey, Json::compactText(object));
}

void MarkupViewModel::saveStylePreset()
{
    try {
        store(m_defaults, stylePresetKey, Json::compactText(m_stylePreset.toJson()));
    } catch (const Json::EncodeError &) {
        // A non-finite number cannot be stored; the previous preset stays.
    }
}

std::vector<HeaderToolbarItem> MarkupViewModel::headerToolbarOrder(HeaderToolbarMode mode) const
{
    const auto it = m_headerToolbarOrders.find(mode);
    return it != m_headerToolbarOrders.end() ? it->second : HeaderToolbarItems::defaultOrder(mode);
}

void MarkupViewModel::resetHeaderToolbarOrder(HeaderToolbarMode mode)
{
    HeaderToolbarOrders orders = m_headerToolbarOrders;
    orders[mode] = HeaderToolbarItems::defaultOrder(mode);
    setHeaderToolbarOrders(std::move(orders));
    saveHeaderToolbarOrders();
    setStatusMessage(QStringLiteral("已恢复顶部按钮默认顺序"));
}

void MarkupViewModel::moveHeaderToolbarItem(HeaderToolbarItem dragged, HeaderToolbarItem target,
                                            HeaderToolbarMode mode)
{
    std::vector<HeaderToolbarItem> order = headerToolbarOrder(mode);
    if (!moveBefore(order, dragged, target))
        return;
    HeaderToolbarOrders orders = m_headerToolbarOrders;
    orders[mode] = std::move(order);
    setHeaderToolbarOrders(std::move(orders));
    saveHeaderToolbarOrders();
    setStatusMessage(QStringLiteral("已调整顶部按钮顺序"));
}

std::optional<QString> MarkupViewModel::shortcutKey(MarkupTool tool) const
{
    const auto it = std::find(m_toolOrder.begin(), m_toolOrder.end(), tool);
    if (it == m_toolOrder.end())
        return std::nullopt;
    return QString::number(it - m_toolOrder.begin() + 1);
}

void MarkupViewModel::moveTool(MarkupTool tool, int direction)
{
    if (direction == 0)
        return;
    const auto it = std::find(m_toolOrder.begin(), m_toolOrder.end(), tool);
    if (it == m_toolOrder.end())
        return;
    const qint64 index = it - m_toolOrder.begin();
    const qint64 other = index + direction;
    if (other < 0 || other >= qint64(m_toolOrder.size()))
        return;
    std::vector<MarkupTool> order = m_toolOrder;
    std::swap(order[size_t(index)], order[size_t(other)]);
    setToolOrder(std::move(order));
    saveToolOrder();
    setStatusMessage(QStringLiteral("已调整工具顺序"));
}

void MarkupViewModel::moveTool(MarkupTool dragged, MarkupTool target)
{
    std::vector<MarkupTool> order = m_toolOrder;
    if (!moveBefore(order, dragged, target))
        return;
    setToolOrder(std::move(order));
    saveToolOrder();
    setStatusMessage(QStringLiteral("已调整工具顺序"));
}

void MarkupViewModel::resetToolOrder()
{
    setToolOrder(MarkupTools::defaultOrder());
    saveToolOrder();
    setStatusMessage(QStringLiteral("已恢复默认工具顺序"));
}

void MarkupViewModel::resetPointerInteractionSettings()
{
    setPointerInteractionSettings(PointerInteractionSettings());
    savePointerInteractionSettings();
    setStatusMessage(QStringLiteral("已恢复默认鼠标/触控板设置"));
}
