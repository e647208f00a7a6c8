#include "pager.h"

#include <algorithm>
#include <cstring>

#include "qrd/latin1.h"

namespace browse {

namespace {

constexpr int kPage = QRD_NMDA_PAGE;

std::string toLatin1(const std::string& utf8, size_t max) {
    std::string out = qrd::utf8ToLatin1Lossy(utf8);
    if (out.size() > max) out.resize(max);
    return out;
}

uint16_t matchFor(const std::string& text) {
    return text.find_first_of("*?") != std::string::npos ? QRD_NMDA_MATCH_PATTERN
                                                         : QRD_NMDA_MATCH_EXACT;
}

} // namespace

struct Pager::Answer {
    QRD_NMDA_CONTEXT context{};
    std::vector<Row> rows;
};

Pager::Pager(NameSource& source, bool multiple) : source_(source), multiple_(multiple) {
    context_.pageSize = QRD_NMDA_PAGE;
}

QRDSTATUS Pager::ask(QRD_NMDA_CONTEXT context, uint16_t operation, Answer& out) {
    context.operation = operation;
    context.pageSize = QRD_NMDA_PAGE;
    QRD_NMDA_QUERY query{};
    std::memcpy(query.pattern, pattern_.data(), std::min(pattern_.size(), size_t(NMNAMELEN - 1)));
    for (const Criterion& c : criteria_) {
        if (query.criteriaCount == QRD_NMDA_MAX_CRITERIA) break;
        QRD_NMDA_CRITERION& q = query.criteria[query.criteriaCount++];
        q.match = c.match;
        q.attr = c.attr;
        q.valueKind = QRD_NMDA_VALUE_TEXT;
        q.length = uint16_t(c.text.size() + 1);
        q.text = c.text.c_str();
    }
    QRD_NMDA_RESULT result{};
    if (QRDSTATUS s = source_.query(context, query, result)) return s;
    out.context = context;
    out.rows.clear();
    // A service that claims more than a page gives a page.
    size_t count = std::min<size_t>(result.count, kPage);
    for (size_t i = 0; i < count; ++i) {
        const QRD_NMDA_ENTRY& e = result.entries[i];
        Row row;
        row.name = qrd::latin1ToUtf8(e.name, sizeof e.name);
        if (e.descKind == QRD_NMDA_VALUE_TEXT)
            row.description = qrd::latin1ToUtf8(e.description, sizeof e.description);
        out.rows.push_back(std::move(row));
    }
    return QRD_OK;
}

void Pager::commit(Answer&& answer) {
    context_ = answer.context;
    rows_ = std::move(answer.rows);
    if (rows_.empty()) current_ = -1;
}

QRDSTATUS Pager::pageAway(QRD_NMDA_CONTEXT context, bool forward, bool& fellBack) {
    Answer answer;
    uint16_t op = forward ? QRD_NMDA_OP_NEXT : QRD_NMDA_OP_PREVIOUS;
    if (QRDSTATUS s = ask(context, op, answer)) return s;
    fellBack = answer.rows.size() < size_t(kPage);
    if (fellBack) {
        // Near the end of the answer: the end's full page instead.
        op = forward ? QRD_NMDA_OP_LAST : QRD_NMDA_OP_FIRST;
        if (QRDSTATUS s = ask(context_, op, answer)) return s;
    }
    commit(std::move(answer));
    return QRD_OK;
}

void Pager::emptySearchField() {
    if (searchText_.empty()) return;
    swallowNextText_ = true;
    searchText_.clear();
    if (clearSearchField_) clearSearchField_();
}

QRDSTATUS Pager::first() {
    emptySearchField();
    Answer answer;
    if (QRDSTATUS s = ask(context_, QRD_NMDA_OP_FIRST, answer)) return s;
    commit(std::move(answer));
    show(0, 0);
    return QRD_OK;
}

QRDSTATUS Pager::last() {
    emptySearchField();
    Answer answer;
    if (QRDSTATUS s = ask(context_, QRD_NMDA_OP_LAST, answer)) return s;
    commit(std::move(answer));
    show(100, int(rows_.size()) - 1);
    return QRD_OK;
}

QRDSTATUS Pager::moveTo(bool forward, unsigned position) {
    emptySearchField();
    QRD_NMDA_CONTEXT context = context_;
    if (forward)
        context.forward = uint16_t(position);
    else
        context.backward = uint16_t(position);
    bool fellBack = false;
    if (QRDSTATUS s = pageAway(context, forward, fellBack)) return s;
    if (fellBack)
        show(forward ? 100 : 0, forward ? int(rows_.size()) - 1 : 0);
    else
        show(forward ? context_.backward : context_.forward, current_);
    return QRD_OK;
}

QRDSTATUS Pager::nextPage() {
    return moveTo(true, QRD_NMDA_POS_BESIDE);
}

QRDSTATUS Pager::previousPage() {
    return moveTo(false, QRD_NMDA_POS_BESIDE);
}

QRDSTATUS Pager::thumb(unsigned position) {
    position = std::min(position, 100u);
    return moveTo(position > context_.forward, position);
}

QRDSTATUS Pager::moveLine(bool forward) {
    if (rows_.empty()) return QRD_OK;
    int edge = forward ? int(rows_.size()) - 1 : 0;
    if (current_ != edge) {
        int row = current_ < 0 ? 0 : current_ + (forward ? 1 : -1);
        show(rowPosition(row), row);
        return QRD_OK;
    }
    emptySearchField();
    std::string from = rows_[size_t(edge)].name;
    QRD_NMDA_CONTEXT context = context_;
    if (forward)
        context.forward = QRD_NMDA_POS_BESIDE;
    else
        context.backward = QRD_NMDA_POS_BESIDE;
    bool fellBack = false;
    if (QRDSTATUS s = pageAway(context, forward, fellBack)) return s;
    int last = int(rows_.size()) - 1;
    int row = forward ? 0 : last;
    if (fellBack) {
        // The end's page overlaps the one we left: move one name from where we were.
        auto at =
            std::find_if(rows_.begin(), rows_.end(), [&](const Row& r) { return r.name == from; });
        int was = at == rows_.end() ? -1 : int(at - rows_.begin());
        row = was < 0 ? (forward ? last : 0) : std::clamp(was + (forward ? 1 : -1), 0, last);
    }
    show(rowPosition(row), row);
    return QRD_OK;
}

QRDSTATUS Pager::nextLine() {
    return moveLine(true);
}

QRDSTATUS Pager::previousLine() {
    return moveLine(false);
}

QRDSTATUS Pager::textTyped(const std::string& text) {
    if (swallowNextText_) {
        swallowNextText_ = false;
        searchText_ = text;
        return QRD_OK;
    }
    searchText_ = text;
    QRD_NMDA_CONTEXT context = context_;
    std::memset(context.positionText, 0, sizeof context.positionText);
    std::string position = toLatin1(text, QRD_NMDA_TEXT_LEN);
    std::memcpy(context.positionText, position.data(), position.size());
    Answer answer;
    if (QRDSTATUS s = ask(context, QRD_NMDA_OP_AT_TEXT, answer)) return s;
    commit(std::move(answer));
    show(context_.forward, 0);
    return QRD_OK;
}

QRDSTATUS Pager::setKind(uint16_t kind) {
    clearCriteria();
    context_.kind = kind;
    return first();
}

void Pager::click(int row) {
    if (row < 0 || size_t(row) >= rows_.size()) return;
    if (multiple_) {
        const std::string& name = rows_[size_t(row)].name;
        auto at = std::find(chosen_.begin(), chosen_.end(), name);
        if (at == chosen_.end())
            chosen_.push_back(name);
        else
            chosen_.erase(at);
    }
    show(context_.backward, row);
}

bool Pager::isChosen(int row) const {
    if (row < 0 || size_t(row) >= rows_.size()) return false;
    if (!multiple_) return row == current_;
    return std::find(chosen_.begin(), chosen_.end(), rows_[size_t(row)].name) != chosen_.end();
}

std::string Pager::description() const {
    if (current_ < 0 || size_t(current_) >= rows_.size()) return "";
    return rows_[size_t(current_)].description;
}

int Pager::rowPosition(int row) const {
    int f = context_.forward, b = context_.backward;
    return f + (b - f) * row / 5;
}

void Pager::show(int position, int row) {
    if (rows_.empty()) return;
    current_ = std::clamp(row, 0, int(rows_.size()) - 1);
    int step = int(context_.backward) - int(context_.forward);
    scrollPageStep_ = step > 0 ? step : 1;
    scrollValue_ = std::clamp(position, 0, 100);
}

void Pager::refine(const std::string& namePattern, const std::string& descriptionPattern) {
    pattern_ = toLatin1(namePattern, NMNAMELEN - 1);
    if (descriptionPattern.empty()) return;
    Criterion c{matchFor(descriptionPattern),
                {QRD_NMDA_DESC_CATEGORY, QRD_NMDA_DESC_NUMBER},
                toLatin1(descriptionPattern, NMNAMELEN - 1)};
    if (descriptionCriterion_ >= 0) {
        criteria_[size_t(descriptionCriterion_)] = std::move(c);
    } else if (criteria_.size() < QRD_NMDA_MAX_CRITERIA) {
        descriptionCriterion_ = int(criteria_.size());
        criteria_.push_back(std::move(c));
    }
}

void Pager::setAttributeCriteria(const std::vector<AttributeCriterion>& criteria) {
    criteria_.clear();
    descriptionCriterion_ = -1;
    for (const AttributeCriterion& a : criteria) {
        if (criteria_.size() == kMaxAttributeCriteria) break;
        criteria_.push_back({matchFor(a.pattern), a.attr, toLatin1(a.pattern, NMNAMELEN - 1)});
    }
}

void Pager::clearCriteria() {
    criteria_.clear();
    descriptionCriterion_ = -1;
    pattern_.clear();
}

std::string Pager::pattern() const {
    return pattern_.empty() ? QRD_NMDA_DEFAULT_PATTERN : qrd::latin1ToUtf8(pattern_);
}

std::string Pager::descriptionPattern() const {
    if (descriptionCriterion_ < 0) return "";
    return qrd::latin1ToUtf8(criteria_[size_t(descriptionCriterion_)].text);
}

} // namespace browse
