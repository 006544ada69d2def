// The session driver when a host certificate fails verification: the trust
// question through DriverUi, the answers (trust: kept and connected again;
// no: the usual "Connection Error 6"), and the question as one of the
// driver's modal steps.
#include <gtest/gtest.h>

#include "driver_fakes.h"
#include "screen/message_titles.h"

namespace cedar::test {
namespace {

using M = ConnectMode;

const std::string kFailure = "Encryption Error, Host certificate failed verification";

CertificateDetails details() {
    CertificateDetails d;
    d.host = "mvs1.example";
    d.port = 992;
    d.subject = "CN=mvs1.example";
    d.issuer = d.subject;
    d.fingerprint = std::string(95, 'A');
    d.problem = kFailure;
    return d;
}

const DriverMessage kUsual{title::kTlsError, kFailure, MessageIcon::Warning, MessageButtons::Ok};

TEST(SessionDriverTrust, TheAnswerDecidesBetweenTheUsualMessageAndTrustingAndReconnecting) {
    enum class Answer { NoStore, NoOneToAsk, No, Yes, YesButNotKept };
    const struct {
        const char* name;
        Answer answer;
        bool asked;
        bool kept;                            // the store was given the certificate
        std::vector<DriverMessage> messages;  // shown afterwards
        bool reconnected;
    } cases[] = {
        {"no place to keep a trust: not asked", Answer::NoStore, false, false, {kUsual}, false},
        {"no one to ask", Answer::NoOneToAsk, true, false, {kUsual}, false},
        {"not trusted", Answer::No, true, false, {kUsual}, false},
        {"trusted", Answer::Yes, true, true, {}, true},
        {"trusted but the file refused it",
         Answer::YesButNotKept,
         true,
         true,
         {{title::kTlsError, "cannot write", MessageIcon::Warning, MessageButtons::Ok}},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DriverRig r;
        FakeTrustStore store;
        if (c.answer != Answer::NoStore) r.d().setCertificateTrust(&store);
        r.ui.canAskTrust = c.answer != Answer::NoOneToAsk;
        if (c.answer == Answer::YesButNotKept) store.failure = "cannot write";
        r.d().connect(M::User);
        ASSERT_EQ(r.link.started.size(), 1u);
        r.link.open = false;  // the link reports a connection that is gone
        r.link.events->certificateFailed(kFailure, details());

        EXPECT_EQ(r.session.status, SessionStatus::NotConnected);
        EXPECT_EQ(r.ui.trustQuestions.size(), c.asked ? 1u : 0u);
        if (c.asked) {
            EXPECT_EQ(r.ui.trustQuestions[0], details());
        }
        EXPECT_EQ(r.d().trustQuestionPending(), c.asked && r.ui.canAskTrust);
        if (r.d().trustQuestionPending()) {
            EXPECT_TRUE(r.ui.messages.empty()) << "nothing else is shown meanwhile";
            r.d().answer(MessageAnswer::Ok);  // not the answer to this question
            EXPECT_TRUE(r.d().trustQuestionPending());
            r.d().answerTrust(c.answer != Answer::No);
        }
        EXPECT_EQ(r.ui.messages, c.messages);
        EXPECT_EQ(store.trusted.size(), c.kept ? 1u : 0u);
        if (c.kept) {
            EXPECT_EQ(store.trusted[0], details());
        }
        EXPECT_EQ(r.link.started.size(), c.reconnected ? 2u : 1u);
        EXPECT_EQ(r.session.status,
                  c.reconnected ? SessionStatus::Connecting : SessionStatus::NotConnected);
        if (c.reconnected) {
            EXPECT_EQ(r.d().mode(), M::User);
            EXPECT_EQ(r.d().connectCountdown(), 30) << "a new connection's time-out";
            EXPECT_EQ(r.ui.requested, 2);
        }
        for (std::size_t i = 0; i < c.messages.size(); ++i)
            r.d().answer(MessageAnswer::Ok);
        EXPECT_FALSE(r.d().messagePending());
    }
}

TEST(SessionDriverTrust, AnAnswerGivenInsideTheQuestionCounts) {
    for (const bool trust : {false, true}) {
        SCOPED_TRACE(trust ? "trusted" : "not trusted");
        DriverRig r;
        FakeTrustStore store;
        r.d().setCertificateTrust(&store);
        r.ui.answerAtOnce = [&](const CertificateDetails&) { r.d().answerTrust(trust); };
        r.d().connect(M::User);
        r.link.open = false;
        r.link.events->certificateFailed(kFailure, details());
        EXPECT_FALSE(r.d().trustQuestionPending());
        EXPECT_EQ(store.trusted.size(), trust ? 1u : 0u);
        EXPECT_EQ(r.link.started.size(), trust ? 2u : 1u);
        EXPECT_EQ(r.ui.messages,
                  trust ? std::vector<DriverMessage>{} : std::vector<DriverMessage>{kUsual});
    }
}

TEST(SessionDriverTrust, WhatArrivesWhileTheQuestionIsOpenWaitsForIt) {
    DriverRig r;
    FakeTrustStore store;
    r.d().setCertificateTrust(&store);
    r.d().connect(M::User);
    r.link.open = false;
    r.link.events->certificateFailed(kFailure, details());
    ASSERT_TRUE(r.d().trustQuestionPending());

    // A message and a close request queue behind the question.
    r.link.events->linkMessage("Send Error", "later");
    r.d().close();
    EXPECT_TRUE(r.ui.messages.empty());
    EXPECT_EQ(r.ui.destroyed, 0);

    // The user connected again meanwhile: trusting keeps the certificate but
    // starts no second connection over that one.
    r.d().connect(M::User);
    ASSERT_EQ(r.link.started.size(), 2u);
    r.d().answerTrust(true);
    EXPECT_EQ(store.trusted.size(), 1u);
    EXPECT_EQ(r.link.started.size(), 2u);
    ASSERT_EQ(r.ui.messages.size(), 1u);
    EXPECT_EQ(r.ui.messages[0].text, "later");
    r.d().answerTrust(true);  // no question open: ignored
    EXPECT_EQ(store.trusted.size(), 1u);
    r.d().answer(MessageAnswer::Ok);
    EXPECT_EQ(r.ui.destroyed, 1) << "the close request ran once the messages were answered";
}

}  // namespace
}  // namespace cedar::test
