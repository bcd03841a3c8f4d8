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

// How what a proposal reads on the picked page compares with the price the
// user pointed at.
enum class PriceFit {
    Whole, // the whole price: its value with all its decimals
    Part,  // a piece of it ("248." or "368" for 368.00)
    More,  // more than the price ("368.00618狂欢价", two prices, a label with a number)
};

struct RuleProposal {
    Rule rule;              // method, markers or kind and name, as typed in the editor
    std::string price;      // what the rule gives on the picked page
    PriceFit fit = PriceFit::Whole;
    std::string secondPrice; // on the second page, once checked there: what it read
    bool checkedOnSecond = false;
    bool holdsOnSecond = false; // what it read there is one price
    bool differsOnSecond = false; // that price is not what the other proposals read there
    std::string secondNote; // why it holds no price there, or that it differs
    bool declared = false;  // over the page's own declaration of its price
    int rank = 0;           // lower is likelier to hold on other products
    std::string reason;     // shown beside the proposal
};

// The proposals for the picked node, best first: every one that reads the
// whole price (node.text, as PricePointedAt found it) before any that reads a
// piece of it or more than it. Besides the rules for the element itself they
// include marker rules for copies of the price near it in the source: a text
// that is not shown (a copy for screen readers) and an attribute value
// (content, value, data-*). page holds the source with kPickMark in it;
// nothing when the mark is missing.
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
// One look at the second page, as a capture looks again until its time is up:
// each proposal that has no price there yet reads the page again. True when
// every proposal has one.
bool LookAtSecondPage(std::vector<RuleProposal> &proposals, const DomSnapshot &second);
// Ends the check: a proposal without a price says why (source: the second
// page's source, lowered, to tell a missing marker from an empty value; may
// be empty); a price that is not what most proposals read there is flagged.
// Order: agreeing prices, differing prices, no price; the order within each
// stays.
void FinishSecondPage(std::vector<RuleProposal> &proposals, std::string_view source);
// Both at once, for a page that is read once.
void CheckOnSecondPage(std::vector<RuleProposal> &proposals, const DomSnapshot &second);

} // namespace corvix
