#include "editors/FieldEditor.h"
#include "config/ConfigImage.h"
#include "editors/FieldCodec.h"

FieldEditor::FieldEditor(ConfigImage &image, const QList<FieldSpec> &fields)
    : m_image(image), m_fields(fields), m_boxes(fields.size()), m_sessions(fields.size())
{
    for (int i = 0; i < m_fields.size(); ++i) {
        m_index.insert(m_fields.at(i).key, i);
        m_boxes[i].text = kNoData;
    }
}

const FieldSpec *FieldEditor::field(const QString &key) const
{
    const int i = m_index.value(key, -1);
    return i < 0 ? nullptr : &m_fields.at(i);
}

FieldEditor::Box FieldEditor::box(const QString &key) const
{
    const int i = m_index.value(key, -1);
    return i < 0 ? Box{} : m_boxes.at(i);
}

void FieldEditor::load()
{
    for (int i = 0; i < m_fields.size(); ++i) {
        const FieldCodec::Shown shown = FieldCodec::show(m_image, m_fields.at(i));
        Box &b = m_boxes[i];
        b = Box{};
        b.hasData = shown.hasData;
        b.text = shown.hasData ? shown.text : kNoData;
        b.checked = shown.hasData && shown.checked;
        b.invalid = shown.hasData && !shown.wellFormed;
        m_sessions[i] = Session{};
    }
    // A stored pair with its lower bound above the upper one marks both.
    for (int i = 0; i < m_fields.size(); ++i) {
        const FieldSpec &f = m_fields.at(i);
        if (f.kind != FieldKind::Threshold || !f.upper)
            continue;
        const int partner = m_index.value(f.partner, -1);
        if (partner < 0 || !m_boxes.at(i).hasData || !m_boxes.at(partner).hasData)
            continue;
        if (FieldCodec::numericValue(m_boxes.at(partner).text) > FieldCodec::numericValue(m_boxes.at(i).text)) {
            m_boxes[i].invalid = true;
            m_boxes[partner].invalid = true;
        }
    }
}

void FieldEditor::save(int index)
{
    Session &s = m_sessions[index];
    if (s.open)
        return;
    s.open = true;
    s.savedCells.clear();
    const auto [first, last] = FieldCodec::cellSpan(m_fields.at(index));
    for (int p = first; p <= last; ++p)
        s.savedCells << m_image.cell(p);
}

void FieldEditor::restore(int index)
{
    const int first = FieldCodec::cellSpan(m_fields.at(index)).first;
    const QStringList &cells = m_sessions.at(index).savedCells;
    for (int i = 0; i < cells.size(); ++i) {
        if (m_image.cell(first + i) != cells.at(i)) {
            m_image.setCell(first + i, cells.at(i));
            m_image.setChanged(true);
        }
    }
}

bool FieldEditor::stored(int index, const QString &text)
{
    if (!FieldCodec::store(m_image, m_fields.at(index), text))
        return false;
    m_image.setChanged(true);
    return true;
}

void FieldEditor::edit(const QString &key, const QString &text)
{
    const int i = m_index.value(key, -1);
    if (i < 0 || !m_boxes.at(i).hasData || m_fields.at(i).kind == FieldKind::Flag)
        return;
    save(i);
    m_boxes[i].text = text;
    if (m_fields.at(i).kind == FieldKind::Threshold) {
        editThreshold(i);
        return;
    }
    m_boxes[i].invalid = !stored(i, text);
    if (m_boxes.at(i).invalid)
        restore(i);
}

void FieldEditor::editThreshold(int i)
{
    Box &own = m_boxes[i];
    if (!FieldCodec::thresholdValid(own.text)) {
        own.invalid = true;
        restore(i);
        return;
    }
    const FieldSpec &f = m_fields.at(i);
    const int p = m_index.value(f.partner, -1);
    // The partner's own valid text counts, else what the image holds for it.
    bool partnerTextValid = false;
    int partnerValue = -1;
    if (p >= 0 && m_boxes.at(p).hasData) {
        partnerTextValid = FieldCodec::thresholdValid(m_boxes.at(p).text);
        partnerValue = partnerTextValid ? int(FieldCodec::numericValue(m_boxes.at(p).text))
                                        : m_image.byteAt(m_fields.at(p).position);
    }
    const int value = int(FieldCodec::numericValue(own.text));
    if (partnerValue >= 0 && (f.upper ? partnerValue > value : value > partnerValue)) {
        own.invalid = true;
        m_boxes[p].invalid = true;
        restore(i);
        return;
    }
    own.invalid = !stored(i, own.text);
    if (p >= 0 && partnerTextValid) {
        m_boxes[p].invalid = !stored(p, m_boxes.at(p).text);
    }
}

void FieldEditor::finishEdit(const QString &key)
{
    const int i = m_index.value(key, -1);
    if (i >= 0)
        m_sessions[i] = Session{};
}

void FieldEditor::click(const QString &key, bool checked)
{
    const int i = m_index.value(key, -1);
    if (i < 0 || !m_boxes.at(i).hasData || m_fields.at(i).kind != FieldKind::Flag)
        return;
    const FieldSpec &f = m_fields.at(i);
    FieldCodec::ZapisatFlag(m_image, f.position, checked);
    m_image.setChanged(true);
    const FieldCodec::Shown shown = FieldCodec::PokazatFlag(m_image, f.position);
    m_boxes[i].checked = shown.checked;
    m_boxes[i].invalid = !shown.wellFormed;
}
