// The browser's result list: one page of at most seven names out of an answer
// that only the directory-assistance service holds. Every movement (line,
// page, thumb, typed text, kind, refinement) is one data query that names the
// wanted page by a relative position 0-100; the pager keeps the current page,
// the positions that bound it, the search criteria and, in multiple
// selection, the names chosen so far.
//
// No widgets: the window shows rows(), currentRow(), scrollValue() and
// scrollPageStep() after each request. Texts are UTF-8 here and Latin-1 in
// the query records.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "namesource.h"

namespace browse {

struct Row {
    std::string name;
    std::string description; // empty unless the service gave text
};

// One criterion of "Find by attribute".
struct AttributeCriterion {
    AttrName attr{};
    std::string pattern;
};
inline constexpr size_t kMaxAttributeCriteria = 5;

class Pager {
  public:
    Pager(NameSource& source, bool multiple);

    // Requests; each returns the query's status, and on failure the list,
    // positions and selection stay as they were.
    QRDSTATUS first();
    QRDSTATUS last();
    QRDSTATUS nextPage();
    QRDSTATUS previousPage();
    QRDSTATUS nextLine();
    QRDSTATUS previousLine();
    QRDSTATUS thumb(unsigned position);
    QRDSTATUS textTyped(const std::string& text);
    QRDSTATUS setKind(uint16_t kind); // clears the criteria, fetches the first page

    // A click on a row: toggles its name among the chosen (multiple
    // selection) or makes it the selection (single).
    void click(int row);

    // Criteria. Each takes effect at the next request.
    void refine(const std::string& namePattern, const std::string& descriptionPattern);
    void setAttributeCriteria(const std::vector<AttributeCriterion>& criteria);
    void clearCriteria();
    std::string pattern() const;
    std::string descriptionPattern() const;
    size_t criteriaCount() const { return criteria_.size(); }

    const std::vector<Row>& rows() const { return rows_; }
    int currentRow() const { return current_; } // -1: none
    bool isChosen(int row) const;               // selected in the list
    const std::vector<std::string>& chosen() const { return chosen_; }
    bool multiple() const { return multiple_; }
    // The description line: the current row's description, or empty.
    std::string description() const;
    int scrollValue() const { return scrollValue_; }
    int scrollPageStep() const { return scrollPageStep_; }
    uint16_t kind() const { return context_.kind; }
    const QRD_NMDA_CONTEXT& context() const { return context_; }

    // Called to empty the "Search for:" field before a request that is not a
    // typed position; the change that emptying causes sends no query.
    void onClearSearchField(std::function<void()> clear) { clearSearchField_ = std::move(clear); }

  private:
    struct Criterion {
        uint16_t match = 0;
        AttrName attr{};
        std::string text; // Latin-1
    };
    struct Answer;
    QRDSTATUS ask(QRD_NMDA_CONTEXT context, uint16_t operation, Answer& out);
    void commit(Answer&& answer);
    // A next or previous page; near the end of the answer the end's page.
    QRDSTATUS pageAway(QRD_NMDA_CONTEXT context, bool forward, bool& fellBack);
    QRDSTATUS moveTo(bool forward, unsigned position);
    QRDSTATUS moveLine(bool forward);
    void emptySearchField();
    void show(int position, int row);
    int rowPosition(int row) const;

    NameSource& source_;
    const bool multiple_;
    QRD_NMDA_CONTEXT context_{};
    std::string pattern_; // Latin-1; "" stands for the default
    std::vector<Criterion> criteria_;
    int descriptionCriterion_ = -1;

    std::vector<Row> rows_;
    int current_ = -1;
    std::vector<std::string> chosen_;
    int scrollValue_ = 0;
    int scrollPageStep_ = 1;

    std::string searchText_;
    bool swallowNextText_ = false;
    std::function<void()> clearSearchField_;
};

} // namespace browse
