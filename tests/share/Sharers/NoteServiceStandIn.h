#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <thrift/TApplicationException.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include "notes/notestore/EDAMNoteStore.h"
#include "notes/notestore/EDAMNoteStoreProcessor.h"
#include "notes/types/EDAMTypes.h"
#include "notes/userstore/EDAMUserStore.h"
#include "notes/userstore/EDAMUserStoreProcessor.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestCA.h"

namespace clipora::test {

// What the note service stand-in answers and what it was told. Guarded by
// `mutex` (the server thread calls, the test reads).
struct NoteServiceState {
    std::mutex mutex;
    bool acceptVersion = true;
    std::string password = "secret";  // the one password authenticate accepts
    std::string shard = "s1";
    std::vector<std::shared_ptr<EDAMNotebook>> notebooks;
    // Thrown by createNote instead of storing the note, when set.
    std::shared_ptr<EDAMUserException> userError;
    std::shared_ptr<EDAMSystemException> systemError;
    std::shared_ptr<EDAMNotFoundException> notFoundError;
    // Answered by createNote as a protocol-level exception message, when set.
    std::optional<apache::thrift::TApplicationException> applicationError;
    // Seen.
    std::vector<std::string> calls;  // "checkVersion ShareCore EDMA 1.16", "authenticate user key", ...
    std::vector<std::shared_ptr<EDAMNote>> created;

    // Back to the answers of a fresh stand-in (the caller holds the mutex).
    void reset() {
        acceptVersion = true;
        password = "secret";
        shard = "s1";
        notebooks.clear();
        userError.reset();
        systemError.reset();
        notFoundError.reset();
        applicationError.reset();
        calls.clear();
        created.clear();
    }
};

inline std::logic_error unexpected(const std::string& name) { return std::logic_error("not served: " + name); }

class UserStoreStandIn final : public EDAMUserStore {
public:
    explicit UserStoreStandIn(NoteServiceState& state) : state_(state) {}
    bool checkVersion(const std::optional<std::string>& clientName, std::int16_t major, std::int16_t minor) override {
        std::lock_guard lock(state_.mutex);
        state_.calls.push_back("checkVersion " + clientName.value_or("") + " " + std::to_string(major) + "." +
                               std::to_string(minor));
        return state_.acceptVersion;
    }
    std::shared_ptr<EDAMAuthenticationResult> authenticate(const std::optional<std::string>& username,
                                                           const std::optional<std::string>& password,
                                                           const std::optional<std::string>& consumerKey,
                                                           const std::optional<std::string>&) override {
        std::lock_guard lock(state_.mutex);
        state_.calls.push_back("authenticate " + username.value_or("") + " " + consumerKey.value_or(""));
        if (password != state_.password)
            throw *EDAMUserException::initWithErrorCodeParameter(8, std::string("password"));
        auto user = std::make_shared<EDAMUser>();
        user->setUsername(username);
        user->setShardId(state_.shard);
        auto result = std::make_shared<EDAMAuthenticationResult>();
        result->setAuthenticationToken(std::string("S=") + state_.shard + ":token");
        result->setUser(user);
        return result;
    }
    std::shared_ptr<EDAMAuthenticationResult> refreshAuthentication(const std::optional<std::string>&) override {
        throw unexpected("refreshAuthentication");
    }
    std::shared_ptr<EDAMUser> getUser(const std::optional<std::string>&) override { throw unexpected("getUser"); }
    std::shared_ptr<EDAMPublicUserInfo> getPublicUserInfo(const std::optional<std::string>&) override {
        throw unexpected("getPublicUserInfo");
    }

private:
    NoteServiceState& state_;
};

class NoteStoreStandIn final : public EDAMNoteStore {
public:
    explicit NoteStoreStandIn(NoteServiceState& state) : state_(state) {}
    std::optional<std::vector<std::shared_ptr<EDAMNotebook>>> listNotebooks(
        const std::optional<std::string>& authenticationToken) override {
        std::lock_guard lock(state_.mutex);
        state_.calls.push_back("listNotebooks " + authenticationToken.value_or(""));
        return state_.notebooks;
    }
    std::shared_ptr<EDAMNote> createNote(const std::optional<std::string>& authenticationToken,
                                         const std::shared_ptr<EDAMNote>& note) override {
        std::lock_guard lock(state_.mutex);
        state_.calls.push_back("createNote " + authenticationToken.value_or(""));
        if (state_.userError) throw *state_.userError;
        if (state_.systemError) throw *state_.systemError;
        if (state_.notFoundError) throw *state_.notFoundError;
        if (state_.applicationError) throw *state_.applicationError;
        state_.created.push_back(note);
        return note;
    }
    std::shared_ptr<EDAMSyncState> getSyncState(const std::optional<std::string>&) override {
        throw unexpected("getSyncState");
    }
    std::shared_ptr<EDAMSyncChunk> getSyncChunk(const std::optional<std::string>&, std::int32_t, std::int32_t,
                                                bool) override {
        throw unexpected("getSyncChunk");
    }
    std::shared_ptr<EDAMNotebook> getNotebook(const std::optional<std::string>&,
                                              const std::optional<std::string>&) override {
        throw unexpected("getNotebook");
    }
    std::shared_ptr<EDAMNotebook> getDefaultNotebook(const std::optional<std::string>&) override {
        throw unexpected("getDefaultNotebook");
    }
    std::shared_ptr<EDAMNotebook> createNotebook(const std::optional<std::string>&,
                                                 const std::shared_ptr<EDAMNotebook>&) override {
        throw unexpected("createNotebook");
    }
    std::int32_t updateNotebook(const std::optional<std::string>&, const std::shared_ptr<EDAMNotebook>&) override {
        throw unexpected("updateNotebook");
    }
    std::int32_t expungeNotebook(const std::optional<std::string>&, const std::optional<std::string>&) override {
        throw unexpected("expungeNotebook");
    }
    std::optional<std::vector<std::shared_ptr<EDAMTag>>> listTags(const std::optional<std::string>&) override {
        throw unexpected("listTags");
    }
    std::optional<std::vector<std::shared_ptr<EDAMTag>>> listTagsByNotebook(
        const std::optional<std::string>&, const std::optional<std::string>&) override {
        throw unexpected("listTagsByNotebook");
    }
    std::shared_ptr<EDAMTag> getTag(const std::optional<std::string>&, const std::optional<std::string>&) override {
        throw unexpected("getTag");
    }
    std::shared_ptr<EDAMTag> createTag(const std::optional<std::string>&, const std::shared_ptr<EDAMTag>&) override {
        throw unexpected("createTag");
    }
    std::int32_t updateTag(const std::optional<std::string>&, const std::shared_ptr<EDAMTag>&) override {
        throw unexpected("updateTag");
    }
    void untagAll(const std::optional<std::string>&, const std::optional<std::string>&) override {
        throw unexpected("untagAll");
    }
    std::int32_t expungeTag(const std::optional<std::string>&, const std::optional<std::string>&) override {
        throw unexpected("expungeTag");
    }
    std::optional<std::vector<std::shared_ptr<EDAMSavedSearch>>> listSearches(
        const std::optional<std::string>&) override {
        throw unexpected("listSearches");
    }
    std::shared_ptr<EDAMSavedSearch> getSearch(const std::optional<std::string>&,
                                               const std::optional<std::string>&) override {
        throw unexpected("getSearch");
    }
    std::shared_ptr<EDAMSavedSearch> createSearch(const std::optional<std::string>&,
                                                  const std::shared_ptr<EDAMSavedSearch>&) override {
        throw unexpected("createSearch");
    }
    std::int32_t updateSearch(const std::optional<std::string>&, const std::shared_ptr<EDAMSavedSearch>&) override {
        throw unexpected("updateSearch");
    }
    std::int32_t expungeSearch(const std::optional<std::string>&, const std::optional<std::string>&) override {
        throw unexpected("expungeSearch");
    }
    std::shared_ptr<EDAMNoteList> findNotes(const std::optional<std::string>&, const std::shared_ptr<EDAMNoteFilter>&,
                                            std::int32_t, std::int32_t) override {
        throw unexpected("findNotes");
    }
    std::shared_ptr<EDAMNoteCollectionCounts> findNoteCounts(const std::optional<std::string>&,
                                                             const std::shared_ptr<EDAMNoteFilter>&, bool) override {
        throw unexpected("findNoteCounts");
    }
    std::shared_ptr<EDAMNote> getNote(const std::optional<std::string>&, const std::optional<std::string>&, bool, bool,
                                      bool, bool) override {
        throw unexpected("getNote");
    }
    std::optional<std::string> getNoteContent(const std::optional<std::string>&,
                                              const std::optional<std::string>&) override {
        throw unexpected("getNoteContent");
    }
    std::optional<std::string> getNoteSearchText(const std::optional<std::string>&,
                                                 const std::optional<std::string>&) override {
        throw unexpected("getNoteSearchText");
    }
    std::optional<std::vector<std::string>> getNoteTagNames(const std::optional<std::string>&,
                                                            const std::optional<std::string>&) override {
        throw unexpected("getNoteTagNames");
    }
    std::shared_ptr<EDAMNote> updateNote(const std::optional<std::string>&, const std::shared_ptr<EDAMNote>&) override {
        throw unexpected("updateNote");
    }
    std::int32_t deleteNote(const std::optional<std::string>&, const std::optional<std::string>&) override {
        throw unexpected("deleteNote");
    }
    std::int32_t expungeNote(const std::optional<std::string>&, const std::optional<std::string>&) override {
        throw unexpected("expungeNote");
    }
    std::int32_t expungeNotes(const std::optional<std::string>&,
                              const std::optional<std::vector<std::string>>&) override {
        throw unexpected("expungeNotes");
    }
    std::int32_t expungeInactiveNotes(const std::optional<std::string>&) override {
        throw unexpected("expungeInactiveNotes");
    }
    std::shared_ptr<EDAMNote> copyNote(const std::optional<std::string>&, const std::optional<std::string>&,
                                       const std::optional<std::string>&) override {
        throw unexpected("copyNote");
    }
    std::optional<std::vector<std::shared_ptr<EDAMNoteVersionId>>> listNoteVersions(
        const std::optional<std::string>&, const std::optional<std::string>&) override {
        throw unexpected("listNoteVersions");
    }
    std::shared_ptr<EDAMNote> getNoteVersion(const std::optional<std::string>&, const std::optional<std::string>&,
                                             std::int32_t, bool, bool, bool) override {
        throw unexpected("getNoteVersion");
    }
    std::shared_ptr<EDAMResource> getResource(const std::optional<std::string>&, const std::optional<std::string>&,
                                              bool, bool, bool, bool) override {
        throw unexpected("getResource");
    }
    std::int32_t updateResource(const std::optional<std::string>&, const std::shared_ptr<EDAMResource>&) override {
        throw unexpected("updateResource");
    }
    std::optional<platform::Data> getResourceData(const std::optional<std::string>&,
                                                  const std::optional<std::string>&) override {
        throw unexpected("getResourceData");
    }
    std::shared_ptr<EDAMResource> getResourceByHash(const std::optional<std::string>&,
                                                    const std::optional<std::string>&,
                                                    const std::optional<platform::Data>&, bool, bool, bool) override {
        throw unexpected("getResourceByHash");
    }
    std::optional<platform::Data> getResourceRecognition(const std::optional<std::string>&,
                                                         const std::optional<std::string>&) override {
        throw unexpected("getResourceRecognition");
    }
    std::optional<platform::Data> getResourceAlternateData(const std::optional<std::string>&,
                                                           const std::optional<std::string>&) override {
        throw unexpected("getResourceAlternateData");
    }
    std::shared_ptr<EDAMResourceAttributes> getResourceAttributes(const std::optional<std::string>&,
                                                                  const std::optional<std::string>&) override {
        throw unexpected("getResourceAttributes");
    }
    std::int64_t getAccountSize(const std::optional<std::string>&) override { throw unexpected("getAccountSize"); }
    std::optional<std::vector<std::shared_ptr<EDAMAd>>> getAds(const std::optional<std::string>&,
                                                               const std::shared_ptr<EDAMAdParameters>&) override {
        throw unexpected("getAds");
    }
    std::shared_ptr<EDAMAd> getRandomAd(const std::optional<std::string>&,
                                        const std::shared_ptr<EDAMAdParameters>&) override {
        throw unexpected("getRandomAd");
    }
    std::shared_ptr<EDAMNotebook> getPublicNotebook(std::int32_t, const std::optional<std::string>&) override {
        throw unexpected("getPublicNotebook");
    }
    std::shared_ptr<EDAMSharedNotebook> createSharedNotebook(const std::optional<std::string>&,
                                                             const std::shared_ptr<EDAMSharedNotebook>&) override {
        throw unexpected("createSharedNotebook");
    }
    std::optional<std::vector<std::shared_ptr<EDAMSharedNotebook>>> listSharedNotebooks(
        const std::optional<std::string>&) override {
        throw unexpected("listSharedNotebooks");
    }
    std::int32_t expungeSharedNotebooks(const std::optional<std::string>&,
                                        const std::optional<std::vector<std::int64_t>>&) override {
        throw unexpected("expungeSharedNotebooks");
    }
    std::shared_ptr<EDAMLinkedNotebook> createLinkedNotebook(const std::optional<std::string>&,
                                                             const std::shared_ptr<EDAMLinkedNotebook>&) override {
        throw unexpected("createLinkedNotebook");
    }
    std::shared_ptr<EDAMLinkedNotebook> updateLinkedNotebook(const std::optional<std::string>&,
                                                             const std::shared_ptr<EDAMLinkedNotebook>&) override {
        throw unexpected("updateLinkedNotebook");
    }
    std::optional<std::vector<std::shared_ptr<EDAMLinkedNotebook>>> listLinkedNotebooks(
        const std::optional<std::string>&) override {
        throw unexpected("listLinkedNotebooks");
    }
    std::int32_t expungeLinkedNotebook(const std::optional<std::string>&, std::int64_t) override {
        throw unexpected("expungeLinkedNotebook");
    }
    std::shared_ptr<EDAMAuthenticationResult> authenticateToSharedNotebook(const std::optional<std::string>&,
                                                                           const std::optional<std::string>&) override {
        throw unexpected("authenticateToSharedNotebook");
    }
    std::shared_ptr<EDAMSharedNotebook> getSharedNotebookByAuth(const std::optional<std::string>&) override {
        throw unexpected("getSharedNotebookByAuth");
    }
    void emailNote(const std::optional<std::string>&, const std::shared_ptr<EDAMNoteEmailParameters>&) override {
        throw unexpected("emailNote");
    }

private:
    NoteServiceState& state_;
};

// The note service on 127.0.0.1 over TLS (the test CA): "/edam/user" runs
// our user-store processor, "/edam/note/s<digits>" (a shard) our note-store
// processor; other paths are not found.
// A service exception thrown by a stand-in goes back as the call's declared
// exception (field 1 user, 2 system, 3 not found of the result); an
// application exception goes back as an exception message instead of a reply.
class NoteServiceStandIn {
public:
    explicit NoteServiceStandIn(const std::filesystem::path& home)
        : ca_(home / "notes-tls"), server_(ca_.server().certificateFile, ca_.server().privateKeyFile) {
        ca_.trust();
        auto users = EDAMUserStoreProcessor::initWithUserStore(std::make_shared<UserStoreStandIn>(state));
        auto notes = EDAMNoteStoreProcessor::initWithNoteStore(std::make_shared<NoteStoreStandIn>(state));
        server_.server().set_keep_alive_max_count(1);
        server_.server().Post("/edam/user", [users](const httplib::Request& request, httplib::Response& response) {
            serve(*users, request.body, response);
        });
        server_.server().Post(R"(/edam/note/s\d+)",
                              [notes](const httplib::Request& request, httplib::Response& response) {
                                  serve(*notes, request.body, response);
                              });
        server_.start();
    }
    std::string userStoreURL() const { return server_.url("/edam/user"); }
    std::string noteStoreBase() const { return server_.url("/edam/note/"); }

    NoteServiceState state;

private:
    template <class Processor>
    static void serve(Processor& processor, const std::string& body, httplib::Response& response) {
        using apache::thrift::protocol::TBinaryProtocol;
        using apache::thrift::transport::TMemoryBuffer;
        auto bytes = reinterpret_cast<std::uint8_t*>(const_cast<char*>(body.data()));
        auto in = std::make_shared<TMemoryBuffer>(bytes, static_cast<std::uint32_t>(body.size()), TMemoryBuffer::COPY);
        auto out = std::make_shared<TMemoryBuffer>();
        TBinaryProtocol input(in, 0, 0, false, false), output(out, 0, 0, false, false);
        // The reply's message header names the call and its sequence.
        auto begin = [&](apache::thrift::protocol::TMessageType kind) {
            auto header =
                std::make_shared<TMemoryBuffer>(bytes, static_cast<std::uint32_t>(body.size()), TMemoryBuffer::COPY);
            TBinaryProtocol peek(header, 0, 0, false, false);
            std::string name;
            apache::thrift::protocol::TMessageType type;
            std::int32_t sequenceID = 0;
            peek.readMessageBegin(name, type, sequenceID);
            out->resetBuffer();
            output.writeMessageBegin(name, kind, sequenceID);
        };
        auto declared = [&](std::int16_t field, const Record& exception) {
            begin(apache::thrift::protocol::T_REPLY);
            output.writeStructBegin("result");
            output.writeFieldBegin("exception", apache::thrift::protocol::T_STRUCT, field);
            exception.write(output);
            output.writeFieldEnd();
            output.writeFieldStop();
            output.writeStructEnd();
            output.writeMessageEnd();
        };
        try {
            processor.processOnInputProtocolOutputProtocol(input, output);
        } catch (const EDAMUserException& e) {
            declared(1, e);
        } catch (const EDAMSystemException& e) {
            declared(2, e);
        } catch (const EDAMNotFoundException& e) {
            declared(3, e);
        } catch (const apache::thrift::TApplicationException& e) {
            begin(apache::thrift::protocol::T_EXCEPTION);
            e.write(&output);
            output.writeMessageEnd();
        }
        response.set_content(out->getBufferAsString(), "application/x-thrift");
    }

    TestCA ca_;
    LoopbackServer server_;
};

}  // namespace clipora::test
