// The counter against the bill: every text of a corpus in many scripts and of every kind the compose
// pane makes goes through the send engine, the component and the sandbox gateway, and the parts the
// sandbox charges equal the parts the counter showed. Texts beyond the limit are refused on both sides.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "compose/HexImport.h"
#include "compose/MessageLength.h"
#include "gateway/WorkerTestSupport.h"

namespace quillon::test {
namespace {

std::string Repeat(const std::string& piece, int times) {
    std::string s;
    for (int i = 0; i < times; ++i)
        s += piece;
    return s;
}

struct Sample {
    int32_t kind;
    std::string text;
};

std::vector<Sample> Corpus() {
    const std::string zhe = "\xD0\xB6", han = "\xE4\xB8\xAD", emoji = "\xF0\x9F\x98\x80";
    std::vector<Sample> corpus = {
        {0, "Meet at 5, bring the keys."},
        {0, std::string(160, 'a')},
        {0, std::string(161, 'a')},
        {0, std::string(153 * 2, 'b')},
        {0, std::string(153 * 2 + 1, 'b')},
        {0, Repeat("{", 80)},
        {0, Repeat("{", 81)},
        {0, "Preis: 5\xE2\x82\xAC [netto] f\xC3\xBCr M\xC3\xBCller \xC3\x84\xC3\x96\xC3\x9C \xC3\x9F"},
        {1,
         "Se\xC3\xB1or, \xC2\xBF"
         "d\xC3\xB3nde est\xC3\xA1?"},                             // ó and á are not GSM
        {0, "\xCE\x94\xCE\xA6\xCE\x93 \xCE\xB1\xCE\xB2\xCE\xB3"},  // Greek capitals are GSM, small ones not
        {0,
         "Caf\xC3\xA9 cr\xC3\xA8me \xC3\xA7"
         "a va"},
        {0, Repeat(zhe, 70)},
        {0, Repeat(zhe, 71)},
        {1, Repeat(zhe, 135)},
        {0, Repeat(han, 67 * 2 + 1)},
        {0, "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7 \xD8\xA8\xD9\x83"},                 // Arabic
        {0, "\xE0\xA4\xA8\xE0\xA4\xAE\xE0\xA4\xB8\xE0\xA5\x8D\xE0\xA4\xA4\xE0\xA5\x87"},  // Devanagari
        {0, Repeat(emoji, 35)},
        {0, Repeat(emoji, 36)},
        {0, "It\xE2\x80\x99s fine \xE2\x80\x94 really\xE2\x80\xA6"},
        {0, "tab\there `tick`"},
        {2, "Plain text as Unicode"},
        {2, Repeat("x", 71)},
        {2, Repeat(emoji, 34) + "ab"},
        {0, std::string(153 * 3 + 1, 'c')},  // beyond the most parts
        {1, Repeat(zhe, 67 * 3 + 1)},
    };
    for (size_t bytes : {1, 100, 140, 141, 268, 269, 402, 403})
        corpus.push_back({bytes % 2 ? 6 : 7, BytesToHex(std::string(bytes, '\x42'))});
    return corpus;
}

using CountCorpus = WorkerFixture;

TEST_F(CountCorpus, CounterPartsEqualTheSandboxCharge) {
    Settings().SpanSMS = true;
    const std::vector<Sample> corpus = Corpus();
    std::map<std::string, size_t> sampleOf;  // number -> corpus index
    for (size_t i = 0; i < corpus.size(); ++i) {
        const std::string number = "07120" + std::to_string(1000 + i);
        sampleOf[number.substr(1)] = i;  // matched on the tail: the sandbox keeps only digits
        ASSERT_GT(store_->Outbox().AddSms(0, static_cast<int32_t>(now_.load()), corpus[i].kind, 0, number,
                                          corpus[i].text, "Quillon", 0, "?"),
                  0);
    }
    worker_->SendQueuedSMSs(-1);

    std::map<size_t, int> charged;
    std::istringstream lines(sandbox_.Control("messages", {}));
    for (std::string line; std::getline(lines, line);) {
        const size_t to = line.find(" to: "), parts = line.find(" parts: ");
        if (to == std::string::npos || parts == std::string::npos)
            continue;
        const std::string number = line.substr(to + 5, line.find(' ', to + 5) - to - 5);
        for (const auto& [tail, index] : sampleOf)
            if (number.size() >= tail.size() && number.compare(number.size() - tail.size(), tail.size(), tail) == 0)
                charged[index] = std::stoi(line.substr(parts + 8));
    }
    int refused = 0;
    for (size_t i = 0; i < corpus.size(); ++i) {
        const LengthState shown = RecountMessageLength(corpus[i].text, corpus[i].kind, true, false);
        if (!shown.fits) {
            EXPECT_EQ(charged.count(i), 0u) << "sample " << i << " beyond the limit was sent";
            ++refused;
            continue;
        }
        ASSERT_EQ(charged.count(i), 1u) << "sample " << i << " (" << shown.counterText << ") was not sent";
        EXPECT_EQ(charged[i], shown.count.parts) << "sample " << i << " shows " << shown.counterText;
    }
    EXPECT_GT(refused, 0);  // the corpus reaches past the limit
    EXPECT_GT(charged.size(), corpus.size() - 4);
}

}  // namespace
}  // namespace quillon::test
