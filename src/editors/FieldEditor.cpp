#include "editors/FieldEditor.h"
#include "config/ConfigImage.h"
#include "editors/FieldCodec.h"

FieldEditor::FieldEditor(ConfigImage &image, const QList<FieldSpec> &fields, const QString &pageName)
    : m_image(image), m_pageName(pageName), m_fields(fields), m_boxes(fields.size()), m_sessions(fields.size())
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
        const bool tick = b.checked;
        b = Box{};
        b.hasData = shown.hasData;
        b.text = shown.hasData ? shown.text : kNoData;
        b.checked = shown.hasData && shown.checked;
        // A flag holding neither value keeps the tick it had: only its colour says so.
        if (m_fields.at(i).kind == FieldKind::Flag && shown.hasData && !shown.wellFormed)
            b.checked = tick;
        b.invalid = shown.hasData && !shown.wellFormed;
        setRefused(i, false);
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

QStringList FieldEditor::cellsOf(int index) const
{
    QStringList cells;
    const auto [first, last] = FieldCodec::cellSpan(m_fields.at(index));
    for (int p = first; p <= last; ++p)
        cells << m_image.cell(p);
    return cells;
}

void FieldEditor::putCells(int index, const QStringList &cells)
{
    const int first = FieldCodec::cellSpan(m_fields.at(index)).first;
    for (int i = 0; i < cells.size(); ++i) {
        if (m_image.cell(first + i) != cells.at(i)) {
            m_image.setCell(first + i, cells.at(i));
            m_image.setChanged(true);
        }
    }
}

void FieldEditor::save(int index)
{
    Session &s = m_sessions[index];
    if (s.open)
        return;
    s = Session{};
    s.open = true;
    s.savedCells = cellsOf(index);
}

void FieldEditor::restore(int index)
{
    const Session &s = m_sessions.at(index);
    putCells(index, s.savedCells);
    if (!s.partnerSaved)
        return;
    // The partner goes back too, with the mark it had: a pair is never left half stored. A partner
    // whose own text is in order with what this box holds now is stored as it reads instead, and
    // loses a red mark that only the pair gave it.
    const int p = m_index.value(m_fields.at(index).partner, -1);
    putCells(p, s.partnerCells);
    const FieldSpec &partner = m_fields.at(p);
    const QString text = m_boxes.at(p).text;
    const int mine = m_image.byteAt(m_fields.at(index).position);
    const int theirs = int(FieldCodec::numericValue(text));
    const bool inOrder = mine < 0 || (partner.upper ? theirs >= mine : theirs <= mine);
    if (FieldCodec::valid(partner, text) && inOrder && stored(p, text)) {
        m_boxes[p].invalid = false;
        setRefused(p, false);
        return;
    }
    m_boxes[p].invalid = s.partnerBox.invalid;
    setRefused(p, s.partnerBox.refused);
}

bool FieldEditor::stored(int index, const QString &text)
{
    const QStringList before = cellsOf(index);
    if (!FieldCodec::store(m_image, m_fields.at(index), text))
        return false;
    // Storing what the image already holds leaves nothing to write.
    if (cellsOf(index) != before)
        m_image.setChanged(true);
    return true;
}

void FieldEditor::setRefused(int index, bool refused)
{
    m_boxes[index].refused = refused;
    const QString name = m_fields.at(index).name;
    m_image.setRefusedEdit(m_pageName.isEmpty() ? name : m_pageName + QStringLiteral(": ") + name, refused);
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
    const bool ok = stored(i, text);
    m_boxes[i].invalid = !ok;
    if (!ok)
        restore(i);
    setRefused(i, !ok);
}

void FieldEditor::editThreshold(int i)
{
    const FieldSpec &f = m_fields.at(i);
    if (!FieldCodec::valid(f, m_boxes.at(i).text)) {
        restore(i);
        m_boxes[i].invalid = true;
        setRefused(i, true);
        return;
    }
    const int p = m_index.value(f.partner, -1);
    // The partner's own valid text counts, else what the image holds for it.
    bool partnerTextValid = false;
    int partnerValue = -1;
    if (p >= 0 && m_boxes.at(p).hasData) {
        partnerTextValid = FieldCodec::valid(m_fields.at(p), m_boxes.at(p).text);
        partnerValue = partnerTextValid ? int(FieldCodec::numericValue(m_boxes.at(p).text))
                                        : m_image.byteAt(m_fields.at(p).position);
    }
    const int value = int(FieldCodec::numericValue(m_boxes.at(i).text));
    if (partnerValue >= 0 && (f.upper ? partnerValue > value : value > partnerValue)) {
        restore(i);
        m_boxes[i].invalid = true;
        m_boxes[p].invalid = true;
        // The refusal is the pair's: "Записать" names both boxes.
        setRefused(i, true);
        setRefused(p, true);
        return;
    }
    const bool ok = stored(i, m_boxes.at(i).text);
    m_boxes[i].invalid = !ok;
    setRefused(i, !ok);
    if (p >= 0 && partnerTextValid) {
        Session &s = m_sessions[i];
        if (!s.partnerSaved) {
            s.partnerSaved = true;
            s.partnerCells = cellsOf(p);
            s.partnerBox = m_boxes.at(p);
        }
        const bool partnerOk = stored(p, m_boxes.at(p).text);
        m_boxes[p].invalid = !partnerOk;
        setRefused(p, !partnerOk);
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
    const QStringList before = cellsOf(i);
    FieldCodec::ZapisatFlag(m_image, f.position, checked);
    if (cellsOf(i) != before)
        m_image.setChanged(true);
    const FieldCodec::Shown shown = FieldCodec::PokazatFlag(m_image, f.position);
    m_boxes[i].checked = shown.checked;
    m_boxes[i].invalid = !shown.wellFormed;
}
