#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <type_traits>

#include <thrift/TApplicationException.h>
#include <thrift/protocol/TProtocolException.h>
#include <thrift/transport/TTransportException.h>

#include "notes/notestore/EDAMNoteStore.h"
#include "notes/notestore/EDAMNoteStoreCalls.h"
#include "notes/notestore/EDAMNoteStoreProcessor.h"
#include "notes/transport/NoteServiceHTTP.h"
#include "tests/notes/AllocationMeter.h"
#include "tests/notes/NotesTestSupport.h"
#include "tests/support/TestCA.h"
#include "tests/support/TestHome.h"

namespace clipora {
namespace {

using apache::thrift::TApplicationException;
using test::Bytes;
using test::hex;

std::string hexOf(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string text;
    for (unsigned char c : bytes) {
        text += digits[c >> 4];
        text += digits[c & 15];
    }
    return text;
}

// One text per value, the same for a value and its optional or shared form:
// what was sent can be compared with what arrived.
template <class T>
std::string describe(const std::vector<T>& list);
template <class T>
std::string describe(const std::optional<T>& value);
inline std::string describe(const std::string& text) { return "\"" + text + "\""; }
inline std::string describe(const platform::Data& bytes) {
    return "<" + hexOf(std::string(bytes.begin(), bytes.end())) + ">";
}
template <class T, class = std::enable_if_t<std::is_arithmetic_v<T>>>
std::string describe(T value) {
    return std::to_string(value);
}
template <class T>
std::string describe(const std::shared_ptr<T>& record) {
    return record ? "{" + hexOf(test::written(*record)) + "}" : "null";
}
template <class T>
std::string describe(const std::vector<T>& list) {
    std::string text = "[";
    for (const auto& item : list) text += describe(item) + ";";
    return text + "]";
}
template <class T>
std::string describe(const std::optional<T>& value) {
    return value ? describe(*value) : "null";
}
template <class... A>
std::string describeAll(const A&... values) {
    std::string text;
    ((text += describe(values) + "|"), ...);
    return text;
}

// Sample values of every result kind.
template <class R>
struct Sample;
template <class T>
struct Sample<std::shared_ptr<T>> {
    static std::shared_ptr<T> make() {
        auto record = std::make_shared<T>();
        test::readInto(*record, test::sampleStruct(T::staticRecordType(), 3));
        return record;
    }
};
template <class T>
struct Sample<std::optional<std::vector<std::shared_ptr<T>>>> {
    static std::optional<std::vector<std::shared_ptr<T>>> make() {
        return std::vector<std::shared_ptr<T>>{Sample<std::shared_ptr<T>>::make(), Sample<std::shared_ptr<T>>::make()};
    }
};
template <>
struct Sample<std::optional<std::vector<std::string>>> {
    static std::optional<std::vector<std::string>> make() { return std::vector<std::string>{"x", "y z"}; }
};
template <>
struct Sample<std::optional<std::string>> {
    static std::optional<std::string> make() { return std::string("<en-note>answer</en-note>"); }
};
template <>
struct Sample<std::optional<platform::Data>> {
    static std::optional<platform::Data> make() { return platform::Data{1, 0, 0xFF}; }
};
template <>
struct Sample<std::int32_t> {
    static std::int32_t make() { return 0; }  // a zero result is still a result
};
template <>
struct Sample<std::int64_t> {
    static std::int64_t make() { return (std::int64_t{1} << 32) + 5; }
};
template <class R>
R sample() {
    return Sample<R>::make();
}

// A note store that records each call with its arguments and answers a
// sample value of the operation's result kind.
class FakeNoteStore final : public EDAMNoteStore {
public:
    std::shared_ptr<EDAMSyncState> getSyncState(const std::optional<std::string>& authenticationToken) override {
        record("getSyncState", describeAll(authenticationToken));
        return answer<std::shared_ptr<EDAMSyncState>>();
    }
    std::shared_ptr<EDAMSyncChunk> getSyncChunk(const std::optional<std::string>& authenticationToken,
                                                std::int32_t afterUSN, std::int32_t maxEntries,
                                                bool fullSyncOnly) override {
        record("getSyncChunk", describeAll(authenticationToken, afterUSN, maxEntries, fullSyncOnly));
        return answer<std::shared_ptr<EDAMSyncChunk>>();
    }
    std::optional<std::vector<std::shared_ptr<EDAMNotebook>>> listNotebooks(
        const std::optional<std::string>& authenticationToken) override {
        record("listNotebooks", describeAll(authenticationToken));
        return answer<std::optional<std::vector<std::shared_ptr<EDAMNotebook>>>>();
    }
    std::shared_ptr<EDAMNotebook> getNotebook(const std::optional<std::string>& authenticationToken,
                                              const std::optional<std::string>& guid) override {
        record("getNotebook", describeAll(authenticationToken, guid));
        return answer<std::shared_ptr<EDAMNotebook>>();
    }
    std::shared_ptr<EDAMNotebook> getDefaultNotebook(const std::optional<std::string>& authenticationToken) override {
        record("getDefaultNotebook", describeAll(authenticationToken));
        return answer<std::shared_ptr<EDAMNotebook>>();
    }
    std::shared_ptr<EDAMNotebook> createNotebook(const std::optional<std::string>& authenticationToken,
                                                 const std::shared_ptr<EDAMNotebook>& notebook) override {
        record("createNotebook", describeAll(authenticationToken, notebook));
        return answer<std::shared_ptr<EDAMNotebook>>();
    }
    std::int32_t updateNotebook(const std::optional<std::string>& authenticationToken,
                                const std::shared_ptr<EDAMNotebook>& notebook) override {
        record("updateNotebook", describeAll(authenticationToken, notebook));
        return answer<std::int32_t>();
    }
    std::int32_t expungeNotebook(const std::optional<std::string>& authenticationToken,
                                 const std::optional<std::string>& guid) override {
        record("expungeNotebook", describeAll(authenticationToken, guid));
        return answer<std::int32_t>();
    }
    std::optional<std::vector<std::shared_ptr<EDAMTag>>> listTags(
        const std::optional<std::string>& authenticationToken) override {
        record("listTags", describeAll(authenticationToken));
        return answer<std::optional<std::vector<std::shared_ptr<EDAMTag>>>>();
    }
    std::optional<std::vector<std::shared_ptr<EDAMTag>>> listTagsByNotebook(
        const std::optional<std::string>& authenticationToken,
        const std::optional<std::string>& notebookGuid) override {
        record("listTagsByNotebook", describeAll(authenticationToken, notebookGuid));
        return answer<std::optional<std::vector<std::shared_ptr<EDAMTag>>>>();
    }
    std::shared_ptr<EDAMTag> getTag(const std::optional<std::string>& authenticationToken,
                                    const std::optional<std::string>& guid) override {
        record("getTag", describeAll(authenticationToken, guid));
        return answer<std::shared_ptr<EDAMTag>>();
    }
    std::shared_ptr<EDAMTag> createTag(const std::optional<std::string>& authenticationToken,
                                       const std::shared_ptr<EDAMTag>& tag) override {
        record("createTag", describeAll(authenticationToken, tag));
        return answer<std::shared_ptr<EDAMTag>>();
    }
    std::int32_t updateTag(const std::optional<std::string>& authenticationToken,
                           const std::shared_ptr<EDAMTag>& tag) override {
        record("updateTag", describeAll(authenticationToken, tag));
        return answer<std::int32_t>();
    }
    void untagAll(const std::optional<std::string>& authenticationToken,
                  const std::optional<std::string>& guid) override {
        record("untagAll", describeAll(authenticationToken, guid));
    }
    std::int32_t expungeTag(const std::optional<std::string>& authenticationToken,
                            const std::optional<std::string>& guid) override {
        record("expungeTag", describeAll(authenticationToken, guid));
        return answer<std::int32_t>();
    }
    std::optional<std::vector<std::shared_ptr<EDAMSavedSearch>>> listSearches(
        const std::optional<std::string>& authenticationToken) override {
        record("listSearches", describeAll(authenticationToken));
        return answer<std::optional<std::vector<std::shared_ptr<EDAMSavedSearch>>>>();
    }
    std::shared_ptr<EDAMSavedSearch> getSearch(const std::optional<std::string>& authenticationToken,
                                               const std::optional<std::string>& guid) override {
        record("getSearch", describeAll(authenticationToken, guid));
        return answer<std::shared_ptr<EDAMSavedSearch>>();
    }
    std::shared_ptr<EDAMSavedSearch> createSearch(const std::optional<std::string>& authenticationToken,
                                                  const std::shared_ptr<EDAMSavedSearch>& search) override {
        record("createSearch", describeAll(authenticationToken, search));
        return answer<std::shared_ptr<EDAMSavedSearch>>();
    }
    std::int32_t updateSearch(const std::optional<std::string>& authenticationToken,
                              const std::shared_ptr<EDAMSavedSearch>& search) override {
        record("updateSearch", describeAll(authenticationToken, search));
        return answer<std::int32_t>();
    }
    std::int32_t expungeSearch(const std::optional<std::string>& authenticationToken,
                               const std::optional<std::string>& guid) override {
        record("expungeSearch", describeAll(authenticationToken, guid));
        return answer<std::int32_t>();
    }
    std::shared_ptr<EDAMNoteList> findNotes(const std::optional<std::string>& authenticationToken,
                                            const std::shared_ptr<EDAMNoteFilter>& filter, std::int32_t offset,
                                            std::int32_t maxNotes) override {
        record("findNotes", describeAll(authenticationToken, filter, offset, maxNotes));
        return answer<std::shared_ptr<EDAMNoteList>>();
    }
    std::shared_ptr<EDAMNoteCollectionCounts> findNoteCounts(const std::optional<std::string>& authenticationToken,
                                                             const std::shared_ptr<EDAMNoteFilter>& filter,
                                                             bool withTrash) override {
        record("findNoteCounts", describeAll(authenticationToken, filter, withTrash));
        return answer<std::shared_ptr<EDAMNoteCollectionCounts>>();
    }
    std::shared_ptr<EDAMNote> getNote(const std::optional<std::string>& authenticationToken,
                                      const std::optional<std::string>& guid, bool withContent, bool withResourcesData,
                                      bool withResourcesRecognition, bool withResourcesAlternateData) override {
        record("getNote", describeAll(authenticationToken, guid, withContent, withResourcesData,
                                      withResourcesRecognition, withResourcesAlternateData));
        return answer<std::shared_ptr<EDAMNote>>();
    }
    std::optional<std::string> getNoteContent(const std::optional<std::string>& authenticationToken,
                                              const std::optional<std::string>& guid) override {
        record("getNoteContent", describeAll(authenticationToken, guid));
        return answer<std::optional<std::string>>();
    }
    std::optional<std::string> getNoteSearchText(const std::optional<std::string>& authenticationToken,
                                                 const std::optional<std::string>& guid) override {
        record("getNoteSearchText", describeAll(authenticationToken, guid));
        return answer<std::optional<std::string>>();
    }
    std::optional<std::vector<std::string>> getNoteTagNames(const std::optional<std::string>& authenticationToken,
                                                            const std::optional<std::string>& guid) override {
        record("getNoteTagNames", describeAll(authenticationToken, guid));
        return answer<std::optional<std::vector<std::string>>>();
    }
    std::shared_ptr<EDAMNote> createNote(const std::optional<std::string>& authenticationToken,
                                         const std::shared_ptr<EDAMNote>& note) override {
        record("createNote", describeAll(authenticationToken, note));
        return answer<std::shared_ptr<EDAMNote>>();
    }
    std::shared_ptr<EDAMNote> updateNote(const std::optional<std::string>& authenticationToken,
                                         const std::shared_ptr<EDAMNote>& note) override {
        record("updateNote", describeAll(authenticationToken, note));
        return answer<std::shared_ptr<EDAMNote>>();
    }
    std::int32_t deleteNote(const std::optional<std::string>& authenticationToken,
                            const std::optional<std::string>& guid) override {
        record("deleteNote", describeAll(authenticationToken, guid));
        return answer<std::int32_t>();
    }
    std::int32_t expungeNote(const std::optional<std::string>& authenticationToken,
                             const std::optional<std::string>& guid) override {
        record("expungeNote", describeAll(authenticationToken, guid));
        return answer<std::int32_t>();
    }
    std::int32_t expungeNotes(const std::optional<std::string>& authenticationToken,
                              const std::optional<std::vector<std::string>>& noteGuids) override {
        record("expungeNotes", describeAll(authenticationToken, noteGuids));
        return answer<std::int32_t>();
    }
    std::int32_t expungeInactiveNotes(const std::optional<std::string>& authenticationToken) override {
        record("expungeInactiveNotes", describeAll(authenticationToken));
        return answer<std::int32_t>();
    }
    std::shared_ptr<EDAMNote> copyNote(const std::optional<std::string>& authenticationToken,
                                       const std::optional<std::string>& noteGuid,
                                       const std::optional<std::string>& toNotebookGuid) override {
        record("copyNote", describeAll(authenticationToken, noteGuid, toNotebookGuid));
        return answer<std::shared_ptr<EDAMNote>>();
    }
    std::optional<std::vector<std::shared_ptr<EDAMNoteVersionId>>> listNoteVersions(
        const std::optional<std::string>& authenticationToken, const std::optional<std::string>& noteGuid) override {
        record("listNoteVersions", describeAll(authenticationToken, noteGuid));
        return answer<std::optional<std::vector<std::shared_ptr<EDAMNoteVersionId>>>>();
    }
    std::shared_ptr<EDAMNote> getNoteVersion(const std::optional<std::string>& authenticationToken,
                                             const std::optional<std::string>& noteGuid, std::int32_t updateSequenceNum,
                                             bool withResourcesData, bool withResourcesRecognition,
                                             bool withResourcesAlternateData) override {
        record("getNoteVersion", describeAll(authenticationToken, noteGuid, updateSequenceNum, withResourcesData,
                                             withResourcesRecognition, withResourcesAlternateData));
        return answer<std::shared_ptr<EDAMNote>>();
    }
    std::shared_ptr<EDAMResource> getResource(const std::optional<std::string>& authenticationToken,
                                              const std::optional<std::string>& guid, bool withData,
                                              bool withRecognition, bool withAttributes,
                                              bool withAlternateData) override {
        record("getResource",
               describeAll(authenticationToken, guid, withData, withRecognition, withAttributes, withAlternateData));
        return answer<std::shared_ptr<EDAMResource>>();
    }
    std::int32_t updateResource(const std::optional<std::string>& authenticationToken,
                                const std::shared_ptr<EDAMResource>& resource) override {
        record("updateResource", describeAll(authenticationToken, resource));
        return answer<std::int32_t>();
    }
    std::optional<platform::Data> getResourceData(const std::optional<std::string>& authenticationToken,
                                                  const std::optional<std::string>& guid) override {
        record("getResourceData", describeAll(authenticationToken, guid));
        return answer<std::optional<platform::Data>>();
    }
    std::shared_ptr<EDAMResource> getResourceByHash(const std::optional<std::string>& authenticationToken,
                                                    const std::optional<std::string>& noteGuid,
                                                    const std::optional<platform::Data>& contentHash, bool withData,
                                                    bool withRecognition, bool withAlternateData) override {
        record("getResourceByHash",
               describeAll(authenticationToken, noteGuid, contentHash, withData, withRecognition, withAlternateData));
        return answer<std::shared_ptr<EDAMResource>>();
    }
    std::optional<platform::Data> getResourceRecognition(const std::optional<std::string>& authenticationToken,
                                                         const std::optional<std::string>& guid) override {
        record("getResourceRecognition", describeAll(authenticationToken, guid));
        return answer<std::optional<platform::Data>>();
    }
    std::optional<platform::Data> getResourceAlternateData(const std::optional<std::string>& authenticationToken,
                                                           const std::optional<std::string>& guid) override {
        record("getResourceAlternateData", describeAll(authenticationToken, guid));
        return answer<std::optional<platform::Data>>();
    }
    std::shared_ptr<EDAMResourceAttributes> getResourceAttributes(const std::optional<std::string>& authenticationToken,
                                                                  const std::optional<std::string>& guid) override {
        record("getResourceAttributes", describeAll(authenticationToken, guid));
        return answer<std::shared_ptr<EDAMResourceAttributes>>();
    }
    std::int64_t getAccountSize(const std::optional<std::string>& authenticationToken) override {
        record("getAccountSize", describeAll(authenticationToken));
        return answer<std::int64_t>();
    }
    std::optional<std::vector<std::shared_ptr<EDAMAd>>> getAds(
        const std::optional<std::string>& authenticationToken,
        const std::shared_ptr<EDAMAdParameters>& adParameters) override {
        record("getAds", describeAll(authenticationToken, adParameters));
        return answer<std::optional<std::vector<std::shared_ptr<EDAMAd>>>>();
    }
    std::shared_ptr<EDAMAd> getRandomAd(const std::optional<std::string>& authenticationToken,
                                        const std::shared_ptr<EDAMAdParameters>& adParameters) override {
        record("getRandomAd", describeAll(authenticationToken, adParameters));
        return answer<std::shared_ptr<EDAMAd>>();
    }
    std::shared_ptr<EDAMNotebook> getPublicNotebook(std::int32_t userId,
                                                    const std::optional<std::string>& publicUri) override {
        record("getPublicNotebook", describeAll(userId, publicUri));
        return answer<std::shared_ptr<EDAMNotebook>>();
    }
    std::shared_ptr<EDAMSharedNotebook> createSharedNotebook(
        const std::optional<std::string>& authenticationToken,
        const std::shared_ptr<EDAMSharedNotebook>& sharedNotebook) override {
        record("createSharedNotebook", describeAll(authenticationToken, sharedNotebook));
        return answer<std::shared_ptr<EDAMSharedNotebook>>();
    }
    std::optional<std::vector<std::shared_ptr<EDAMSharedNotebook>>> listSharedNotebooks(
        const std::optional<std::string>& authenticationToken) override {
        record("listSharedNotebooks", describeAll(authenticationToken));
        return answer<std::optional<std::vector<std::shared_ptr<EDAMSharedNotebook>>>>();
    }
    std::int32_t expungeSharedNotebooks(const std::optional<std::string>& authenticationToken,
                                        const std::optional<std::vector<std::int64_t>>& sharedNotebookIds) override {
        record("expungeSharedNotebooks", describeAll(authenticationToken, sharedNotebookIds));
        return answer<std::int32_t>();
    }
    std::shared_ptr<EDAMLinkedNotebook> createLinkedNotebook(
        const std::optional<std::string>& authenticationToken,
        const std::shared_ptr<EDAMLinkedNotebook>& linkedNotebook) override {
        record("createLinkedNotebook", describeAll(authenticationToken, linkedNotebook));
        return answer<std::shared_ptr<EDAMLinkedNotebook>>();
    }
    std::shared_ptr<EDAMLinkedNotebook> updateLinkedNotebook(
        const std::optional<std::string>& authenticationToken,
        const std::shared_ptr<EDAMLinkedNotebook>& linkedNotebook) override {
        record("updateLinkedNotebook", describeAll(authenticationToken, linkedNotebook));
        return answer<std::shared_ptr<EDAMLinkedNotebook>>();
    }
    std::optional<std::vector<std::shared_ptr<EDAMLinkedNotebook>>> listLinkedNotebooks(
        const std::optional<std::string>& authenticationToken) override {
        record("listLinkedNotebooks", describeAll(authenticationToken));
        return answer<std::optional<std::vector<std::shared_ptr<EDAMLinkedNotebook>>>>();
    }
    std::int32_t expungeLinkedNotebook(const std::optional<std::string>& authenticationToken,
                                       std::int64_t linkedNotebookId) override {
        record("expungeLinkedNotebook", describeAll(authenticationToken, linkedNotebookId));
        return answer<std::int32_t>();
    }
    std::shared_ptr<EDAMAuthenticationResult> authenticateToSharedNotebook(
        const std::optional<std::string>& shareKey, const std::optional<std::string>& authenticationToken) override {
        record("authenticateToSharedNotebook", describeAll(shareKey, authenticationToken));
        return answer<std::shared_ptr<EDAMAuthenticationResult>>();
    }
    std::shared_ptr<EDAMSharedNotebook> getSharedNotebookByAuth(
        const std::optional<std::string>& authenticationToken) override {
        record("getSharedNotebookByAuth", describeAll(authenticationToken));
        return answer<std::shared_ptr<EDAMSharedNotebook>>();
    }
    void emailNote(const std::optional<std::string>& authenticationToken,
                   const std::shared_ptr<EDAMNoteEmailParameters>& parameters) override {
        record("emailNote", describeAll(authenticationToken, parameters));
    }

    std::string called, arguments, answered;
    std::function<void()> fail;  // set: every operation throws through it

private:
    void record(const char* name, std::string args) {
        if (fail) fail();
        called = name;
        arguments = std::move(args);
        answered = "none";
    }
    template <class R>
    R answer() {
        R value = sample<R>();
        answered = describe(value);
        return value;
    }
};

struct Operation {
    const char* name;
    const RecordType& (*resultType)();
    std::function<std::string()> arguments;
    std::function<std::string(EDAMNoteStoreClient&)> call;
};

const std::vector<Operation>& operations() {
    static const std::vector<Operation> table{
        {"getSyncState", &EDAMGetSyncState_result::staticRecordType, [] { return describeAll(std::string("T")); },
         [](EDAMNoteStoreClient& c) { return describe(c.getSyncState(std::string("T"))); }},
        {"getSyncChunk", &EDAMGetSyncChunk_result::staticRecordType,
         [] { return describeAll(std::string("T"), -7, -7, true); },
         [](EDAMNoteStoreClient& c) { return describe(c.getSyncChunk(std::string("T"), -7, -7, true)); }},
        {"listNotebooks", &EDAMListNotebooks_result::staticRecordType, [] { return describeAll(std::string("T")); },
         [](EDAMNoteStoreClient& c) { return describe(c.listNotebooks(std::string("T"))); }},
        {"getNotebook", &EDAMGetNotebook_result::staticRecordType,
         [] { return describeAll(std::string("T"), std::string("s-guid")); },
         [](EDAMNoteStoreClient& c) { return describe(c.getNotebook(std::string("T"), std::string("s-guid"))); }},
        {"getDefaultNotebook", &EDAMGetDefaultNotebook_result::staticRecordType,
         [] { return describeAll(std::string("T")); },
         [](EDAMNoteStoreClient& c) { return describe(c.getDefaultNotebook(std::string("T"))); }},
        {"createNotebook", &EDAMCreateNotebook_result::staticRecordType,
         [] { return describeAll(std::string("T"), sample<std::shared_ptr<EDAMNotebook>>()); },
         [](EDAMNoteStoreClient& c) {
             return describe(c.createNotebook(std::string("T"), sample<std::shared_ptr<EDAMNotebook>>()));
         }},
        {"updateNotebook", &EDAMUpdateNotebook_result::staticRecordType,
         [] { return describeAll(std::string("T"), sample<std::shared_ptr<EDAMNotebook>>()); },
         [](EDAMNoteStoreClient& c) {
             return describe(c.updateNotebook(std::string("T"), sample<std::shared_ptr<EDAMNotebook>>()));
         }},
        {"expungeNotebook", &EDAMExpungeNotebook_result::staticRecordType,
         [] { return describeAll(std::string("T"), std::string("s-guid")); },
         [](EDAMNoteStoreClient& c) { return describe(c.expungeNotebook(std::string("T"), std::string("s-guid"))); }},
        {"listTags", &EDAMListTags_result::staticRecordType, [] { return describeAll(std::string("T")); },
         [](EDAMNoteStoreClient& c) { return describe(c.listTags(std::string("T"))); }},
        {"listTagsByNotebook", &EDAMListTagsByNotebook_result::staticRecordType,
         [] { return describeAll(std::string("T"), std::string("s-notebookGuid")); },
         [](EDAMNoteStoreClient& c) {
             return describe(c.listTagsByNotebook(std::string("T"), std::string("s-notebookGuid")));
         }},
        {"getTag", &EDAMGetTag_result::staticRecordType,
         [] { return describeAll(std::string("T"), std::string("s-guid")); },
         [](EDAMNoteStoreClient& c) { return describe(c.getTag(std::string("T"), std::string("s-guid"))); }},
        {"createTag", &EDAMCreateTag_result::staticRecordType,
         [] { return describeAll(std::string("T"), sample<std::shared_ptr<EDAMTag>>()); },
         [](EDAMNoteStoreClient& c) {
             return describe(c.createTag(std::string("T"), sample<std::shared_ptr<EDAMTag>>()));
         }},
        {"updateTag", &EDAMUpdateTag_result::staticRecordType,
         [] { return describeAll(std::string("T"), sample<std::shared_ptr<EDAMTag>>()); },
         [](EDAMNoteStoreClient& c) {
             return describe(c.updateTag(std::string("T"), sample<std::shared_ptr<EDAMTag>>()));
         }},
        {"untagAll", &EDAMUntagAll_result::staticRecordType,
         [] { return describeAll(std::string("T"), std::string("s-guid")); },
         [](EDAMNoteStoreClient& c) {
             return (c.untagAll(std::string("T"), std::string("s-guid")), std::string("none"));
         }},
        {"expungeTag", &EDAMExpungeTag_result::staticRecordType,
         [] { return describeAll(std::string("T"), std::string("s-guid")); },
         [](EDAMNoteStoreClient& c) { return describe(c.expungeTag(std::string("T"), std::string("s-guid"))); }},
        {"listSearches", &EDAMListSearches_result::staticRecordType, [] { return describeAll(std::string("T")); },
         [](EDAMNoteStoreClient& c) { return describe(c.listSearches(std::string("T"))); }},
        {"getSearch", &EDAMGetSearch_result::staticRecordType,
         [] { return describeAll(std::string("T"), std::string("s-guid")); },
         [](EDAMNoteStoreClient& c) { return describe(c.getSearch(std::string("T"), std::string("s-guid"))); }},
        {"createSearch", &EDAMCreateSearch_result::staticRecordType,
         [] { return describeAll(std::string("T"), sample<std::shared_ptr<EDAMSavedSearch>>()); },
         [](EDAMNoteStoreClient& c) {
             return describe(c.createSearch(std::string("T"), sample<std::shared_ptr<EDAMSavedSearch>>()));
         }},
        {"updateSearch", &EDAMUpdateSearch_result::staticRecordType,
         [] { return describeAll(std::string("T"), sample<std::shared_ptr<EDAMSavedSearch>>()); },
         [](EDAMNoteStoreClient& c) {
             return describe(c.updateSearch(std::string("T"), sample<std::shared_ptr<EDAMSavedSearch>>()));
         }},
        {"expungeSearch", &EDAMExpungeSearch_result::staticRecordType,
         [] { return describeAll(std::string("T"), std::string("s-guid")); },
         [](EDAMNoteStoreClient& c) { return describe(c.expungeSearch(std::string("T"), std::string("s-guid"))); }},
        {"findNotes", &EDAMFindNotes_result::staticRecordType,
         [] { return describeAll(std::string("T"), sample<std::shared_ptr<EDAMNoteFilter>>(), -7, -7); },
         [](EDAMNoteStoreClient& c) {
             return describe(c.findNotes(std::string("T"), sample<std::shared_ptr<EDAMNoteFilter>>(), -7, -7));
         }},
        {"findNoteCounts", &EDAMFindNoteCounts_result::staticRecordType,
         [] { return describeAll(std::string("T"), sample<std::shared_ptr<EDAMNoteFilter>>(), true); },
         [](EDAMNoteStoreClient& c) {
             return describe(c.findNoteCounts(std::string("T"), sample<std::shared_ptr<EDAMNoteFilter>>(), true));
         }},
        {"getNote", &EDAMGetNote_result::staticRecordType,
         [] { return describeAll(std::string("T"), std::string("s-guid"), true, true, true, true); },
         [](EDAMNoteStoreClient& c) {
             return describe(c.getNote(std::string("T"), std::string("s-guid"), true, true, true, true));
         }},
        {"getNoteContent", &EDAMGetNoteContent_result::staticRecordType,
         [] { return describeAll(std::string("T"), std::string("s-guid")); },
         [](EDAMNoteStoreClient& c) { return describe(c.getNoteContent(std::string("T"), std::string("s-guid"))); }},
        {"getNoteSearchText", &EDAMGetNoteSearchText_result::staticRecordType,
         [] { return describeAll(std::string("T"), std::string("s-guid")); },
         [](EDAMNoteStoreClient& c) { return describe(c.getNoteSearchText(std::string("T"), std::string("s-guid"))); }},
        {"getNoteTagNames", &EDAMGetNoteTagNames_result::staticRecordType,
         [] { return describeAll(std::string("T"), std::string("s-guid")); },
         [](EDAMNoteStoreClient& c) { return describe(c.getNoteTagNames(std::string("T"), std::string("s-guid"))); }},
        {"createNote", &EDAMCreateNote_result::staticRecordType,
         [] { return describeAll(std::string("T"), sample<std::shared_ptr<EDAMNote>>()); },
         [](EDAMNoteStoreClient& c) {
             return describe(c.createNote(std::string("T"), sample<std::shared_ptr<EDAMNote>>()));
         }},
        {"updateNote", &EDAMUpdateNote_result::staticRecordType,
         [] { return describeAll(std::string("T"), sample<std::shared_ptr<EDAMNote>>()); },
         [](EDAMNoteStoreClient& c) {
             return describe(c.updateNote(std::string("T"), sample<std::shared_ptr<EDAMNote>>()));
         }},
        {"deleteNote", &EDAMDeleteNote_result::staticRecordType,
         [] { return describeAll(std::string("T"), std::string("s-guid")); },
         [](EDAMNoteStoreClient& c) { return describe(c.deleteNote(std::string("T"), std::string("s-guid"))); }},
        {"expungeNote", &EDAMExpungeNote_result::staticRecordType,
         [] { return describeAll(std::string("T"), std::string("s-guid")); },
         [](EDAMNoteStoreClient& c) { return describe(c.expungeNote(std::string("T"), std::string("s-guid"))); }},
        {"expungeNotes", &EDAMExpungeNotes_result::staticRecordType,
         [] {
             return describeAll(std::string("T"), std::vector<std::string>{"g1", "g2"});
         },
         [](EDAMNoteStoreClient& c) {
             return describe(c.expungeNotes(std::string("T"), std::vector<std::string>{"g1", "g2"}));
         }},
        {"expungeInactiveNotes", &EDAMExpungeInactiveNotes_result::staticRecordType,
         [] { return describeAll(std::string("T")); },
         [](EDAMNoteStoreClient& c) { return describe(c.expungeInactiveNotes(std::string("T"))); }},
        {"copyNote", &EDAMCopyNote_result::staticRecordType,
         [] { return describeAll(std::string("T"), std::string("s-noteGuid"), std::string("s-toNotebookGuid")); },
         [](EDAMNoteStoreClient& c) {
             return describe(c.copyNote(std::string("T"), std::string("s-noteGuid"), std::string("s-toNotebookGuid")));
         }},
        {"listNoteVersions", &EDAMListNoteVersions_result::staticRecordType,
         [] { return describeAll(std::string("T"), std::string("s-noteGuid")); },
         [](EDAMNoteStoreClient& c) {
             return describe(c.listNoteVersions(std::string("T"), std::string("s-noteGuid")));
         }},
        {"getNoteVersion", &EDAMGetNoteVersion_result::staticRecordType,
         [] { return describeAll(std::string("T"), std::string("s-noteGuid"), -7, true, true, true); },
         [](EDAMNoteStoreClient& c) {
             return describe(c.getNoteVersion(std::string("T"), std::string("s-noteGuid"), -7, true, true, true));
         }},
        {"getResource", &EDAMGetResource_result::staticRecordType,
         [] { return describeAll(std::string("T"), std::string("s-guid"), true, true, true, true); },
         [](EDAMNoteStoreClient& c) {
             return describe(c.getResource(std::string("T"), std::string("s-guid"), true, true, true, true));
         }},
        {"updateResource", &EDAMUpdateResource_result::staticRecordType,
         [] { return describeAll(std::string("T"), sample<std::shared_ptr<EDAMResource>>()); },
         [](EDAMNoteStoreClient& c) {
             return describe(c.updateResource(std::string("T"), sample<std::shared_ptr<EDAMResource>>()));
         }},
        {"getResourceData", &EDAMGetResourceData_result::staticRecordType,
         [] { return describeAll(std::string("T"), std::string("s-guid")); },
         [](EDAMNoteStoreClient& c) { return describe(c.getResourceData(std::string("T"), std::string("s-guid"))); }},
        {"getResourceByHash", &EDAMGetResourceByHash_result::staticRecordType,
         [] {
             return describeAll(std::string("T"), std::string("s-noteGuid"), platform::Data{0, 0xFF}, true, true, true);
         },
         [](EDAMNoteStoreClient& c) {
             return describe(c.getResourceByHash(std::string("T"), std::string("s-noteGuid"), platform::Data{0, 0xFF},
                                                 true, true, true));
         }},
        {"getResourceRecognition", &EDAMGetResourceRecognition_result::staticRecordType,
         [] { return describeAll(std::string("T"), std::string("s-guid")); },
         [](EDAMNoteStoreClient& c) {
             return describe(c.getResourceRecognition(std::string("T"), std::string("s-guid")));
         }},
        {"getResourceAlternateData", &EDAMGetResourceAlternateData_result::staticRecordType,
         [] { return describeAll(std::string("T"), std::string("s-guid")); },
         [](EDAMNoteStoreClient& c) {
             return describe(c.getResourceAlternateData(std::string("T"), std::string("s-guid")));
         }},
        {"getResourceAttributes", &EDAMGetResourceAttributes_result::staticRecordType,
         [] { return describeAll(std::string("T"), std::string("s-guid")); },
         [](EDAMNoteStoreClient& c) {
             return describe(c.getResourceAttributes(std::string("T"), std::string("s-guid")));
         }},
        {"getAccountSize", &EDAMGetAccountSize_result::staticRecordType, [] { return describeAll(std::string("T")); },
         [](EDAMNoteStoreClient& c) { return describe(c.getAccountSize(std::string("T"))); }},
        {"getAds", &EDAMGetAds_result::staticRecordType,
         [] { return describeAll(std::string("T"), sample<std::shared_ptr<EDAMAdParameters>>()); },
         [](EDAMNoteStoreClient& c) {
             return describe(c.getAds(std::string("T"), sample<std::shared_ptr<EDAMAdParameters>>()));
         }},
        {"getRandomAd", &EDAMGetRandomAd_result::staticRecordType,
         [] { return describeAll(std::string("T"), sample<std::shared_ptr<EDAMAdParameters>>()); },
         [](EDAMNoteStoreClient& c) {
             return describe(c.getRandomAd(std::string("T"), sample<std::shared_ptr<EDAMAdParameters>>()));
         }},
        {"getPublicNotebook", &EDAMGetPublicNotebook_result::staticRecordType,
         [] { return describeAll(-7, std::string("s-publicUri")); },
         [](EDAMNoteStoreClient& c) { return describe(c.getPublicNotebook(-7, std::string("s-publicUri"))); }},
        {"createSharedNotebook", &EDAMCreateSharedNotebook_result::staticRecordType,
         [] { return describeAll(std::string("T"), sample<std::shared_ptr<EDAMSharedNotebook>>()); },
         [](EDAMNoteStoreClient& c) {
             return describe(c.createSharedNotebook(std::string("T"), sample<std::shared_ptr<EDAMSharedNotebook>>()));
         }},
        {"listSharedNotebooks", &EDAMListSharedNotebooks_result::staticRecordType,
         [] { return describeAll(std::string("T")); },
         [](EDAMNoteStoreClient& c) { return describe(c.listSharedNotebooks(std::string("T"))); }},
        {"expungeSharedNotebooks", &EDAMExpungeSharedNotebooks_result::staticRecordType,
         [] {
             return describeAll(std::string("T"), std::vector<std::int64_t>{1, std::int64_t{1} << 40});
         },
         [](EDAMNoteStoreClient& c) {
             return describe(
                 c.expungeSharedNotebooks(std::string("T"), std::vector<std::int64_t>{1, std::int64_t{1} << 40}));
         }},
        {"createLinkedNotebook", &EDAMCreateLinkedNotebook_result::staticRecordType,
         [] { return describeAll(std::string("T"), sample<std::shared_ptr<EDAMLinkedNotebook>>()); },
         [](EDAMNoteStoreClient& c) {
             return describe(c.createLinkedNotebook(std::string("T"), sample<std::shared_ptr<EDAMLinkedNotebook>>()));
         }},
        {"updateLinkedNotebook", &EDAMUpdateLinkedNotebook_result::staticRecordType,
         [] { return describeAll(std::string("T"), sample<std::shared_ptr<EDAMLinkedNotebook>>()); },
         [](EDAMNoteStoreClient& c) {
             return describe(c.updateLinkedNotebook(std::string("T"), sample<std::shared_ptr<EDAMLinkedNotebook>>()));
         }},
        {"listLinkedNotebooks", &EDAMListLinkedNotebooks_result::staticRecordType,
         [] { return describeAll(std::string("T")); },
         [](EDAMNoteStoreClient& c) { return describe(c.listLinkedNotebooks(std::string("T"))); }},
        {"expungeLinkedNotebook", &EDAMExpungeLinkedNotebook_result::staticRecordType,
         [] { return describeAll(std::string("T"), (std::int64_t{1} << 40)); },
         [](EDAMNoteStoreClient& c) {
             return describe(c.expungeLinkedNotebook(std::string("T"), (std::int64_t{1} << 40)));
         }},
        {"authenticateToSharedNotebook", &EDAMAuthenticateToSharedNotebook_result::staticRecordType,
         [] { return describeAll(std::string("s-shareKey"), std::string("T")); },
         [](EDAMNoteStoreClient& c) {
             return describe(c.authenticateToSharedNotebook(std::string("s-shareKey"), std::string("T")));
         }},
        {"getSharedNotebookByAuth", &EDAMGetSharedNotebookByAuth_result::staticRecordType,
         [] { return describeAll(std::string("T")); },
         [](EDAMNoteStoreClient& c) { return describe(c.getSharedNotebookByAuth(std::string("T"))); }},
        {"emailNote", &EDAMEmailNote_result::staticRecordType,
         [] { return describeAll(std::string("T"), sample<std::shared_ptr<EDAMNoteEmailParameters>>()); },
         [](EDAMNoteStoreClient& c) {
             return (c.emailNote(std::string("T"), sample<std::shared_ptr<EDAMNoteEmailParameters>>()),
                     std::string("none"));
         }},
    };
    return table;
}

class NoteStoreTest : public test::PlatformTest {
protected:
    std::shared_ptr<FakeNoteStore> store_ = std::make_shared<FakeNoteStore>();
    std::shared_ptr<EDAMNoteStoreProcessor> processor_ = EDAMNoteStoreProcessor::initWithNoteStore(store_);
    std::shared_ptr<test::LoopbackTransport> transport_;
    std::shared_ptr<EDAMNoteStoreClient> client_ =
        EDAMNoteStoreClient::initWithProtocol(test::loopbackProtocol(processor_, &transport_));

    void scriptReply(const Bytes& fields) { transport_->scriptReply(test::message("any", 2, 99, fields + hex({0}))); }
};

TEST_F(NoteStoreTest, EveryOperationReachesTheStoreAndAnswers) {
    ASSERT_EQ(operations().size(), 56u);
    for (const auto& op : operations()) {
        SCOPED_TRACE(op.name);
        std::string result = op.call(*client_);
        EXPECT_EQ(store_->called, op.name);
        EXPECT_EQ(store_->arguments, op.arguments());
        EXPECT_EQ(result, store_->answered);

        // The call message: CALL, sequence id 0, under the operation's name.
        test::MemoryProtocol sent(transport_->lastRequest());
        std::string name;
        apache::thrift::protocol::TMessageType type;
        std::int32_t sequenceID = -1;
        sent.protocol->readMessageBegin(name, type, sequenceID);
        EXPECT_EQ(name, op.name);
        EXPECT_EQ(type, apache::thrift::protocol::T_CALL);
        EXPECT_EQ(sequenceID, 0);
    }
}

TEST_F(NoteStoreTest, RepliesWithoutAResultAndDeclaredExceptions) {
    for (const auto& op : operations()) {
        SCOPED_TRACE(op.name);
        const RecordType& type = op.resultType();
        bool hasSuccess = type.fields[0].id == 0;

        // Nothing set, or a success as a double, which no result has (skipped).
        for (const Bytes& fields : {Bytes(), hex({0x04, 0, 0, 0x3F, 0xF0, 0, 0, 0, 0, 0, 0})}) {
            scriptReply(fields);
            try {
                op.call(*client_);
                EXPECT_FALSE(hasSuccess) << "returned without a result";
            } catch (const TApplicationException& e) {
                EXPECT_TRUE(hasSuccess);
                EXPECT_EQ(e.getType(), TApplicationException::MISSING_RESULT);
                EXPECT_EQ(std::string(e.what()), std::string(op.name) + " failed: unknown result");
            }
        }

        // Each declared exception alone, then all of them: the lowest id wins.
        Bytes all;
        std::string first;
        for (const FieldDescriptor& f : type.fields) {
            if (f.id == 0) continue;
            Bytes field = hex({0x0C, 0, f.id}) + test::written(*f.records->type().make());
            if (first.empty()) first = f.records->type().className;
            all += field;
            for (const Bytes& reply : {field, all}) {
                scriptReply(reply);
                try {
                    op.call(*client_);
                    ADD_FAILURE() << "no exception for " << f.name;
                } catch (const NoteServiceException& e) {
                    std::string expected = reply == field ? f.records->type().className : first;
                    EXPECT_EQ(e.recordType().className, expected) << f.name;
                }
            }
        }
        // A success beside an exception wins.
        if (hasSuccess && type.fields[0].kind == FieldKind::I32) {
            scriptReply(hex({0x08, 0, 0, 0, 0, 0, 0}) + hex({0x0C, 0, 1, 0}));
            EXPECT_EQ(op.call(*client_), "0");
        }
    }
}

TEST_F(NoteStoreTest, AbsentArgumentsAreLeftOutAndScalarsAlwaysSent) {
    auto fieldsOf = [&](const std::string& request) {
        // Skip the message header: 4-byte length, name, type, sequence id.
        test::MemoryProtocol in(request);
        std::string name;
        apache::thrift::protocol::TMessageType type;
        std::int32_t sequenceID;
        in.protocol->readMessageBegin(name, type, sequenceID);
        return request.substr(request.size() - in.buffer->available_read());
    };
    client_->getPublicNotebook(0, std::nullopt);
    EXPECT_EQ(fieldsOf(transport_->lastRequest()), hex({0x08, 0, 1, 0, 0, 0, 0, 0}));
    client_->authenticateToSharedNotebook(std::nullopt, std::string("t"));
    EXPECT_EQ(fieldsOf(transport_->lastRequest()), hex({0x0B, 0, 2, 0, 0, 0, 1, 't', 0}));
    client_->expungeNotes(std::nullopt, std::vector<std::string>{});
    EXPECT_EQ(fieldsOf(transport_->lastRequest()), hex({0x0F, 0, 2, 0x0B, 0, 0, 0, 0, 0}));
    client_->expungeNotes(std::nullopt, std::nullopt);
    EXPECT_EQ(fieldsOf(transport_->lastRequest()), hex({0}));
    client_->getSyncChunk(std::nullopt, 0, 5, false);
    EXPECT_EQ(fieldsOf(transport_->lastRequest()),
              hex({0x08, 0, 2, 0, 0, 0, 0, 0x08, 0, 3, 0, 0, 0, 5, 0x02, 0, 4, 0, 0}));
    EXPECT_EQ(store_->arguments, "null|0|5|0|");
}

TEST_F(NoteStoreTest, ProcessorEchoesSequenceIdsAndRejectsUnknownNames) {
    struct Case {
        std::string name;
        int type;
        std::int32_t sequenceID;
        int replyType;
    };
    const Case cases[] = {{"getAccountSize", 1, 0, 2},         {"getAccountSize", 4, -1, 2},
                          {"getAccountSize", 2, INT32_MAX, 2}, {"fooBar", 1, 7, 3},
                          {"GetSyncState", 1, 1, 3},           {"", 1, 2, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name + " " + std::to_string(c.sequenceID));
        EDAMgetAccountSize_args args;
        args.setAuthenticationToken(std::string("T"));
        test::MemoryProtocol reply =
            test::processCall(*processor_, test::message(c.name, c.type, c.sequenceID, test::written(args)), c.name,
                              c.replyType, c.sequenceID);
        if (c.replyType == 3) {
            test::expectUnknownMethod(reply, c.name);
        } else {
            EDAMGetAccountSize_result result;
            result.read(*reply.protocol);
            EXPECT_EQ(result.success(), (std::int64_t{1} << 32) + 5);
        }
    }
}

TEST_F(NoteStoreTest, ServiceExceptionsPassOutOfTheProcessor) {
    store_->fail = [] {
        throw *EDAMNotFoundException::initWithIdentifierKey(std::string("Note.guid"), std::string("x"));
    };
    EDAMgetNote_args args;
    args.setGuid(std::string("x"));
    test::MemoryProtocol in(test::message("getNote", 1, 3, test::written(args))), out;
    EXPECT_THROW(processor_->processOnInputProtocolOutputProtocol(*in.protocol, *out.protocol), EDAMNotFoundException);
    EXPECT_TRUE(out.bytes().empty());
}

TEST_F(NoteStoreTest, UntagAllAndEmailNoteReplyWithAnEmptyResult) {
    client_->untagAll(std::string("T"), std::string("tag"));
    EXPECT_EQ(transport_->lastReply().substr(transport_->lastReply().size() - 1), hex({0}));
    EXPECT_EQ(transport_->lastReply(), test::message("untagAll", 2, 0, hex({0})));
    client_->emailNote(std::string("T"), std::make_shared<EDAMNoteEmailParameters>());
    EXPECT_EQ(store_->called, "emailNote");
}

TEST_F(NoteStoreTest, NegativeListSizesInCallsReadAsEmptyLists) {
    scriptReply(hex({0x0F, 0, 0, 0x0C, 0xFF, 0xFF, 0xFF, 0xFF}));
    auto notebooks = client_->listNotebooks(std::string("T"));
    ASSERT_TRUE(notebooks);
    EXPECT_TRUE(notebooks->empty());
    scriptReply(hex({0x0F, 0, 0, 0x0B, 0xFF, 0xFF, 0xFF, 0xFF}));
    auto names = client_->getNoteTagNames(std::string("T"), std::string("guid"));
    ASSERT_TRUE(names);
    EXPECT_TRUE(names->empty());

    const Bytes args = hex({0x0B, 0, 1, 0, 0, 0, 1, 'T', 0x0F, 0, 2, 0x0B, 0xFF, 0xFF, 0xFF, 0xFF, 0});
    test::MemoryProtocol reply =
        test::processCall(*processor_, test::message("expungeNotes", 1, 4, args), "expungeNotes", 2, 4);
    EXPECT_EQ(store_->called, "expungeNotes");
    EXPECT_EQ(store_->arguments, describeAll(std::string("T"), std::vector<std::string>{}));
    EDAMExpungeNotes_result result;
    result.read(*reply.protocol);
    EXPECT_TRUE(result.successIsSet());
}

// The reply a processor wrote, expected to be an EXCEPTION message for
// (name, sequenceID); returns the application exception it carries.
TApplicationException exceptionReply(const Bytes& written, const std::string& name, std::int32_t sequenceID) {
    test::MemoryProtocol reply(written);
    std::string replyName;
    apache::thrift::protocol::TMessageType type;
    std::int32_t replySequenceID = 0;
    reply.protocol->readMessageBegin(replyName, type, replySequenceID);
    EXPECT_EQ(replyName, name);
    EXPECT_EQ(type, apache::thrift::protocol::T_EXCEPTION);
    EXPECT_EQ(replySequenceID, sequenceID);
    TApplicationException exception;
    exception.read(reply.protocol.get());
    return exception;
}

const Bytes kHugeText = hex({0x7F, 0xFF, 0xFF, 0xFF}) + "abc";

TEST_F(NoteStoreTest, CallsWhoseArgumentsCannotBeReadAreAnswered) {
    struct Case {
        const char* what;
        const char* name;
        Bytes args;
    };
    const Case cases[] = {
        {"a text claiming 2 GiB", "getNote", hex({0x0B, 0, 2}) + kHugeText},
        {"a skipped text claiming 2 GiB", "getNote", hex({0x0B, 0, 9}) + kHugeText},
        {"a negative list size inside a record", "createNote",
         hex({0x0C, 0, 2, 0x0F, 0, 15, 0x0B, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0})},
        {"a field type outside the protocol", "getNote", hex({0x80, 0})},
        {"a skipped list overflowing its size check", "getNote", hex({0x0F, 0x7F, 0x7F, 0x0B, 0x40, 0, 0, 0, 0})},
        {"arguments cut short", "getNote", hex({0x0B, 0, 1, 0, 0, 0, 5, 'a'})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        store_->called.clear();
        test::MemoryProtocol in(test::message(c.name, 1, 9, c.args)), out;
        test::AllocationMeter meter;
        EXPECT_THROW(processor_->processOnInputProtocolOutputProtocol(*in.protocol, *out.protocol),
                     apache::thrift::TException);
        EXPECT_LT(meter.peakGrowth(), std::size_t{16} << 20);
        EXPECT_EQ(store_->called, "") << "the store was called";
        EXPECT_EQ(exceptionReply(out.bytes(), c.name, 9).getType(), TApplicationException::PROTOCOL_ERROR);
    }
}

TEST_F(NoteStoreTest, HostileMessageHeadsCostNoMemory) {
    using apache::thrift::protocol::TProtocolException;
    // A name that claims 2 GiB, unversioned and versioned: nothing to answer.
    for (const Bytes& head : {kHugeText, hex({0x80, 0x01, 0, 0x01}) + kHugeText}) {
        test::MemoryProtocol in(head), out;
        test::AllocationMeter meter;
        try {
            processor_->processOnInputProtocolOutputProtocol(*in.protocol, *out.protocol);
            ADD_FAILURE();
        } catch (const TProtocolException& e) {
            EXPECT_EQ(e.getType(), TProtocolException::SIZE_LIMIT);
        }
        EXPECT_LT(meter.peakGrowth(), std::size_t{16} << 20);
        EXPECT_TRUE(out.bytes().empty());
    }
    // An unknown name whose arguments cannot be skipped is still answered.
    test::MemoryProtocol in(test::message("fooBar", 1, 5, hex({0x0B, 0, 1}) + kHugeText)), out;
    test::AllocationMeter meter;
    EXPECT_THROW(processor_->processOnInputProtocolOutputProtocol(*in.protocol, *out.protocol), TProtocolException);
    EXPECT_LT(meter.peakGrowth(), std::size_t{16} << 20);
    EXPECT_EQ(exceptionReply(out.bytes(), "fooBar", 5).getType(), TApplicationException::UNKNOWN_METHOD);
}

class NoteStoreHTTPSTest : public test::PlatformTest {};

TEST_F(NoteStoreHTTPSTest, CallsAPythonThriftServer) {
    test::TestCA ca(home() / "tls");
    ca.trust();
    test::PythonServer server("notestore", ca.server().certificateFile, ca.server().privateKeyFile);
    ASSERT_TRUE(server.started());
    auto client = EDAMNoteStoreClient::initWithProtocol(NoteServiceHTTP::binaryProtocol(server.url()));
    const std::string token = "S=s1:U=1:token";

    auto notebooks = client->listNotebooks(token);
    ASSERT_TRUE(notebooks);
    ASSERT_EQ(notebooks->size(), 2u);
    EXPECT_FALSE((*notebooks)[0]->defaultNotebook());
    EXPECT_TRUE((*notebooks)[1]->defaultNotebook());
    EXPECT_EQ((*notebooks)[1]->guid(), "nb-2");

    auto data = std::make_shared<EDAMData>();
    data->setBody(platform::Data(70000, 0xA5));
    data->setSize(70000);
    auto resource = std::make_shared<EDAMResource>();
    resource->setData(data);
    resource->setRecognition(data);
    resource->setMime(std::string("image/jpeg"));
    auto note = std::make_shared<EDAMNote>();
    note->setTitle(std::string("Title"));
    note->setNotebookGuid((*notebooks)[1]->guid());
    note->setResources(std::vector<std::shared_ptr<EDAMResource>>{resource});
    note->setTagNames(std::vector<std::string>{"video", "caf\xc3\xa9"});
    auto created = client->createNote(token, note);
    ASSERT_TRUE(created && created->resources());
    EXPECT_EQ(created->guid(), "note-1");
    EXPECT_EQ(created->updateSequenceNum(), 42);
    EXPECT_EQ(created->tagNames(), note->tagNames());
    EXPECT_EQ((*created->resources())[0]->recognition()->body(), data->body());

    EXPECT_THROW(client->getNote(token, std::string("missing"), true, false, false, false), EDAMNotFoundException);
    EXPECT_EQ(client->getNote(token, std::string("note-1"), true, false, false, false)->content(), "<en-note/>");
    EXPECT_EQ(client->getAccountSize(token), (std::int64_t{1} << 32) + 5);
    EXPECT_NO_THROW(client->untagAll(token, std::string("tag")));
    EXPECT_EQ(client->getResourceData(token, std::string("r")),
              (platform::Data{0x00, 0xFF, ' ', 'b', 'y', 't', 'e', 's'}));
    EXPECT_EQ(client->expungeSharedNotebooks(token, std::vector<std::int64_t>{1, std::int64_t{1} << 40}), 3);
    EXPECT_THROW(client->getPublicNotebook(0, std::nullopt), EDAMSystemException);
    try {
        client->listNotebooks(std::string("wrong token"));
        ADD_FAILURE();
    } catch (const EDAMUserException& e) {
        EXPECT_EQ(e.errorCode(), 8);
    }
}

}  // namespace
}  // namespace clipora
