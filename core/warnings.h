// Warnings that change the outcome: a data file that could not be read, a length that matches
// no size, a doubtful metatarsal point, a surface outline left open. Each carries its words for
// every place it is said: the line on standard error and in the report's "warnings" (English,
// one line, without the program's name), and the GUI's message in Traditional Chinese. The
// batch command says them on standard error even under --quiet and lists them in the report;
// the GUI shows them in a message box.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace pedaform {

struct Warning {
    std::string text;  // standard error and the report
    std::string gui;   // the GUI's message box, Traditional Chinese
};

class Warnings {
  public:
    void add(Warning warning) { list_.push_back(std::move(warning)); }
    void add(const Warnings &more) {
        list_.insert(list_.end(), more.list_.begin(), more.list_.end());
    }
    bool empty() const { return list_.empty(); }
    size_t size() const { return list_.size(); }
    std::vector<Warning>::const_iterator begin() const { return list_.begin(); }
    std::vector<Warning>::const_iterator end() const { return list_.end(); }
    // The report's "warnings": each warning's text, in order.
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const Warning &w : list_)
            out.push_back(w.text);
        return out;
    }

  private:
    std::vector<Warning> list_;
};

}  // namespace pedaform
