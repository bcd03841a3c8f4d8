#pragma once
// Rules proposed for a price the user pointed at on a page. Every proposal is an
// ordinary rule of the two methods and is checked with the capture's own
// extraction before it is shown: the element rules against the element finder's
// rules (DomHelper.cpp), the marker rules against the marker search in the
// lowered source. All texts GBK.
#include "rules/Rule.h"
#include "support/DomSnapshot.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace corvix {

// The attribute the pick puts on the chosen element while it serialises the
// page, as the engine writes it; the proposals remove it again.
inline constexpr std::string_view kPickMark = " data-corvix-pick=\"\"";

// One element of the page as the element finder compares it.
struct PageElement {
    std::string className, text, name, id, title; // text: as shown (a text area's value)
    std::string type;  // inputs: the type as the engine reports it
    std::string value; // what the finder's reader reads: innerHTML, or the value
};

// The finder's tags, each list in document order below the body.
enum class PageTag { Span, Div, Input, TextArea };
inline constexpr size_t kPageTags = 4;

// What the pick reports besides the page source.
struct PickedNode {
    std::array<std::vector<PageElement>, kPageTags> elements;
    // The chosen element or its nearest span/div/input/textarea ancestor: its
    // tag and place in that tag's list; no tag when there is none.
    int tag = -1;
    int index = -1;
    std::string text;      // the chosen element's text as shown (or its value)
    std::string outerHtml; // the chosen element as serialised, with kPickMark
};

struct RuleProposal {
    Rule rule;              // method, markers or kind and name, as typed in the editor
    std::string price;      // what the rule gives on the picked page
    std::string secondPrice; // on the second page, once checked there
    bool checkedOnSecond = false;
    bool holdsOnSecond = false;
    bool declared = false;  // over the page's own declaration of its price
    int rank = 0;           // lower is likelier to hold on other products
    std::string reason;     // shown beside the proposal
};

// The proposals for the picked node, best first. page holds the source with
// kPickMark in it; nothing when the mark is missing.
std::vector<RuleProposal> ProposeRules(const DomSnapshot &page, const PickedNode &node);

// The element finder of DomHelper over element lists, for kind and name: the
// index of the element returned, -1 for none.
int FindPageElement(const std::vector<PageElement> &elements, std::string_view kind, std::string_view name);

// The snapshot that request reads from a page described by its source and
// element lists (what DomHelper would answer).
DomSnapshot AnswerRequest(const std::string &source, const std::array<std::vector<PageElement>, kPageTags> &elements,
                          const DomRequest &request);

// Everything the proposals need from another page of the same layout.
DomRequest RequestForProposals(const std::vector<RuleProposal> &proposals);
// Runs every proposal on the second page and moves the ones that give no price
// there (no text that reads as a price) to the bottom, keeping the order otherwise.
void CheckOnSecondPage(std::vector<RuleProposal> &proposals, const DomSnapshot &second);

} // namespace corvix
