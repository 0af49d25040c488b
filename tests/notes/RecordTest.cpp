#include <gtest/gtest.h>

#include <thrift/Thrift.h>
#include <thrift/protocol/TProtocolException.h>
#include <thrift/transport/TTransportException.h>

#include "notes/notestore/EDAMNoteStoreCalls.h"
#include "notes/types/EDAMLimitsConstants.h"
#include "notes/types/EDAMTypes.h"
#include "notes/types/EDAMTypesConstants.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "tests/notes/NotesTestSupport.h"
#include "tests/notes/OracleTable.h"

namespace clipora {
namespace {

using test::Bytes;
using test::hex;
using test::readInto;
using test::written;

std::shared_ptr<Record> archivedCopy(const std::shared_ptr<Record>& record) {
    auto data =
        platform::KeyedArchiver::archivedData(platform::Value(std::static_pointer_cast<platform::Object>(record)));
    EXPECT_TRUE(data);
    if (!data) return nullptr;
    auto value = platform::KeyedUnarchiver::unarchivedObjectOfAnyClass(*data);
    return value ? value->objectAs<Record>() : nullptr;
}

// The struct's bytes with further fields before its stop byte.
Bytes withExtraFields(const Bytes& structBytes, const Bytes& fields) {
    return structBytes.substr(0, structBytes.size() - 1) + fields + hex({0});
}

// Every record class: all fields read and set, written back byte for byte as
// the Thrift compiler's code writes the same struct, archived and rebuilt,
// described, and read again with unknown and mistyped fields in between.
void checkRecords(const std::vector<test::OracleEntry>& entries) {
    // An unknown id holding a struct with a list, and a list under an unknown id.
    const Bytes unknown = hex({0x0C, 0x01, 0x2C, 0x0F, 0x00, 0x01, 0x0B, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01,
                               0x61, 0x00, 0x0F, 0x7F, 0x00, 0x08, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x09});
    for (const auto& entry : entries) {
        const RecordType& type = entry.type();
        SCOPED_TRACE(type.className);
        Bytes sample = test::sampleStruct(type);
        auto record = type.make();
        EXPECT_EQ(written(*record), hex({0})) << "a fresh record writes nothing but the stop";
        readInto(*record, sample);
        for (std::size_t i = 0; i < type.fields.size(); ++i) EXPECT_TRUE(record->isSetAt(i)) << type.fields[i].name;

        Bytes ours = written(*record);
        EXPECT_EQ(ours, entry.oracle(sample));
        if (!type.isResult) {
            EXPECT_EQ(ours, sample);
        }

        auto copy = archivedCopy(record);
        ASSERT_TRUE(copy);
        EXPECT_EQ(copy->classNameForCoder(), type.className);
        EXPECT_EQ(written(*copy), ours);

        std::string text = record->description();
        EXPECT_EQ(text.rfind(std::string(type.wireName) + "(", 0), 0u) << text;
        for (std::size_t i = 0; i < type.fields.size(); ++i)
            EXPECT_NE(text.find((i ? "," : "(") + std::string(type.fields[i].name) + ":"), std::string::npos);

        // A first field arriving again under a foreign wire type is skipped
        // and keeps the value read before it.
        Bytes mistyped;
        if (!type.fields.empty()) {
            auto id = static_cast<std::uint16_t>(type.fields[0].id);
            bool isString = type.fields[0].kind == FieldKind::String || type.fields[0].kind == FieldKind::Binary;
            mistyped = isString ? hex({0x08, id >> 8, id & 0xFF, 0, 0, 0, 1})
                                : hex({0x0B, id >> 8, id & 0xFF, 0, 0, 0, 1, 0x7A});
        }
        auto tolerant = type.make();
        readInto(*tolerant, withExtraFields(sample, unknown + mistyped));
        EXPECT_EQ(written(*tolerant), ours);
    }
}

TEST(NoteRecords, EveryRecordRoundTripsAsTheCompilersCodeDoes) { checkRecords(test::dataRecords()); }

TEST(NoteRecords, EveryUserStoreCallStructureRoundTripsAsTheCompilersCodeDoes) { checkRecords(test::userStoreCalls()); }

TEST(NoteRecords, EveryNoteStoreCallStructureRoundTripsAsTheCompilersCodeDoes) {
    ASSERT_EQ(test::noteStoreCalls().size(), 112u);
    checkRecords(test::noteStoreCalls());
}

TEST(NoteRecords, TagBytesAreExact) {
    EDAMTag tag;
    tag.setGuid("g");
    tag.setUpdateSequenceNum(5);
    EXPECT_EQ(written(tag), hex({0x0B, 0, 1, 0, 0, 0, 1, 0x67, 0x08, 0, 4, 0, 0, 0, 5, 0}));
}

TEST(NoteRecords, SetButAbsentObjectsAreSetYetNotWritten) {
    auto note = std::make_shared<EDAMNote>();
    note->setTitle(std::nullopt);
    note->setAttributes(nullptr);
    note->setResources(std::vector<std::shared_ptr<EDAMResource>>{});
    EXPECT_TRUE(note->titleIsSet());
    EXPECT_TRUE(note->attributesIsSet());
    // Only the empty resource list goes out: field 13, list of structs, count 0.
    EXPECT_EQ(written(*note), hex({0x0F, 0, 13, 0x0C, 0, 0, 0, 0, 0}));

    auto copy = std::dynamic_pointer_cast<EDAMNote>(archivedCopy(note));
    ASSERT_TRUE(copy);
    EXPECT_TRUE(copy->titleIsSet());
    EXPECT_FALSE(copy->title());
    EXPECT_TRUE(copy->attributesIsSet());
    EXPECT_FALSE(copy->attributes());
    EXPECT_FALSE(copy->guidIsSet());
}

TEST(NoteRecords, UnsetScalarKeepsItsValueButIsNotWritten) {
    EDAMSyncState state;
    state.setUpdateCount(3);
    state.unsetUpdateCount();
    EXPECT_EQ(state.updateCount(), 3);
    EXPECT_FALSE(state.updateCountIsSet());
    EXPECT_EQ(written(state), hex({0}));
}

TEST(NoteRecords, NothingIsRequiredAndMissingFieldsStayUnset) {
    EDAMNotFoundException notFound;
    readInto(notFound, hex({0x0B, 0, 2, 0, 0, 0, 1, 0x6B, 0}));
    EXPECT_TRUE(notFound.keyIsSet());
    EXPECT_EQ(notFound.key(), "k");
    EXPECT_FALSE(notFound.identifierIsSet());
    EXPECT_FALSE(notFound.identifier());

    EDAMUser user;
    readInto(user, hex({0x0B, 0, 15, 0, 0, 0, 0, 0}));  // attributes sent as a string
    EXPECT_FALSE(user.attributesIsSet());
}

TEST(NoteRecords, DataBytesSurviveUnchanged) {
    EDAMData data;
    platform::Data body{0x00, 0xFF, 0xC3, 0x28, 0x00};
    data.setBody(body);
    data.setSize(0);
    EDAMData back;
    readInto(back, written(data));
    EXPECT_EQ(back.body(), body);
    EXPECT_TRUE(back.sizeIsSet());
    EXPECT_EQ(back.size(), 0);
}

TEST(NoteRecords, ResultStructuresWriteOnlyTheirFirstSetField) {
    EDAMGetNotebook_result both;
    both.setSuccess(nullptr);
    both.setNotFoundException(std::make_shared<EDAMNotFoundException>());
    EXPECT_EQ(written(both), hex({0})) << "a set but absent success ends the choice";

    EDAMUpdateNotebook_result count;
    count.setSuccess(0);
    count.setUserException(std::make_shared<EDAMUserException>());
    EXPECT_EQ(written(count), hex({0x08, 0, 0, 0, 0, 0, 0, 0}));
    count.unsetSuccess();
    EXPECT_EQ(written(count), hex({0x0C, 0, 1, 0, 0}));
}

TEST(NoteRecords, HostileCountsAreRejectedWithoutAllocating) {
    struct Case {
        const char* what;
        Bytes bytes;
        bool negative;
    };
    const Case cases[] = {
        {"huge list of records", hex({0x0F, 0, 13, 0x0C, 0x7F, 0xFF, 0xFF, 0xFF}), false},
        {"huge list of strings", hex({0x0F, 0, 12, 0x0B, 0x7F, 0xFF, 0xFF, 0xFF}), false},
        // Within the runtime's message-size check (one byte per announced
        // bool), yet far beyond the bytes really there.
        {"large list, under-announced element type", hex({0x0F, 0, 13, 0x02, 0x03, 0x00, 0x00, 0x00}), false},
        {"negative list count", hex({0x0F, 0, 13, 0x0C, 0xFF, 0xFF, 0xFF, 0xFF}), true},
        {"negative string length", hex({0x0B, 0, 2, 0xFF, 0xFF, 0xFF, 0xFE}), true},
        {"negative binary length", hex({0x0B, 0, 4, 0x80, 0x00, 0x00, 0x00}), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EDAMNote note;
        try {
            readInto(note, c.bytes);
            ADD_FAILURE() << "read accepted it";
        } catch (const apache::thrift::protocol::TProtocolException& e) {
            if (c.negative) {
                EXPECT_EQ(e.getType(), apache::thrift::protocol::TProtocolException::NEGATIVE_SIZE);
            }
        } catch (const apache::thrift::transport::TTransportException& e) {
            EXPECT_FALSE(c.negative) << e.what();
        }
    }
    EDAMNoteCollectionCounts counts;
    EXPECT_ANY_THROW(readInto(counts, hex({0x0D, 0, 1, 0x0B, 0x08, 0x7F, 0xFF, 0xFF, 0xFF})));
}

TEST(NoteRecords, ListsReadTheirDeclaredElementsWhateverTheHeaderSays) {
    EDAMNote note;
    // tagNames announced as a list of i32, holding one string "a".
    readInto(note, hex({0x0F, 0, 15, 0x08, 0, 0, 0, 1, 0, 0, 0, 1, 0x61, 0}));
    ASSERT_TRUE(note.tagNames());
    EXPECT_EQ(*note.tagNames(), std::vector<std::string>{"a"});
    EDAMNoteCollectionCounts counts;
    readInto(counts, hex({0x0D, 0, 1, 0x0B, 0x08, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(counts.notebookCountsIsSet());
    EXPECT_TRUE(counts.notebookCounts() && counts.notebookCounts()->empty());
}

TEST(NoteRecords, DescriptionsHaveTheServiceFormat) {
    EXPECT_EQ(EDAMSyncState().description(), "SyncState(currentTime:0,fullSyncBefore:0,updateCount:0,uploaded:0)");
    EXPECT_EQ(EDAMSyncState::initWithCurrentTimeFullSyncBeforeUpdateCountUploaded(1, 2, 3, 4)->description(),
              "SyncState(currentTime:1,fullSyncBefore:2,updateCount:3,uploaded:4)");
    EXPECT_EQ(EDAMUserException().description(), "EDAMUserException(errorCode:0,parameter:\"(null)\")");

    EDAMNoteFilter filter;
    filter.setAscending(true);
    filter.setWords("a b");
    filter.setTagGuids(std::vector<std::string>{"t1", "t 2"});
    EXPECT_EQ(filter.description(),
              "NoteFilter(order:0,ascending:1,words:\"a b\",notebookGuid:\"(null)\",tagGuids:(\n    t1,\n"
              "    \"t 2\"\n),timeZone:\"(null)\",inactive:0)");

    EDAMResource resource;
    resource.setWidth(-2);
    auto data = std::make_shared<EDAMData>();
    data->setBodyHash(platform::Data{0x0A, 0x0B});
    resource.setData(data);
    EXPECT_EQ(resource.description().rfind(
                  "Resource(guid:\"(null)\",noteGuid:\"(null)\",data:Data(bodyHash:\"<0a0b>\",size:0,body:\"(null)\"),"
                  "mime:\"(null)\",width:-2,",
                  0),
              0u);

    EDAMgetSyncChunk_args args;
    EXPECT_EQ(args.description(),
              "getSyncChunk_args(authenticationToken:\"(null)\",afterUSN:0,maxEntries:0,fullSyncOnly:0)");
}

TEST(NoteRecords, ExceptionsKeepTheirNameAndReasonThroughArchives) {
    auto exception = EDAMUserException::initWithErrorCodeParameter(8, std::string("password"));
    EXPECT_EQ(exception->name(), "EDAMUserException");
    EXPECT_EQ(exception->reason(), "unknown");
    auto copy = std::dynamic_pointer_cast<EDAMUserException>(archivedCopy(exception));
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->name(), "EDAMUserException");
    EXPECT_EQ(copy->reason(), "unknown");
    EXPECT_EQ(copy->errorCode(), 8);
    EXPECT_EQ(copy->parameter(), "password");

    struct Case {
        std::shared_ptr<NoteServiceException> exception;
        const char* name;
    };
    const Case cases[] = {{std::make_shared<EDAMUserException>(), "EDAMUserException"},
                          {std::make_shared<EDAMSystemException>(), "EDAMSystemException"},
                          {std::make_shared<EDAMNotFoundException>(), "EDAMNotFoundException"}};
    for (const auto& c : cases) {
        try {
            c.exception->raise();
        } catch (const platform::Exception& e) {
            EXPECT_EQ(e.name(), c.name);
            EXPECT_STREQ(e.what(), "unknown");
            EXPECT_EQ(dynamic_cast<const Record&>(e).recordType().className, std::string(c.name));
        }
    }
}

TEST(NoteRecords, ArchivesOfTheWrongKindFailCleanly) {
    platform::Value::Dictionary fake;
    auto tag = std::make_shared<EDAMTag>();
    tag->setGuid("g");
    auto data = platform::KeyedArchiver::archivedData(platform::Value(std::static_pointer_cast<platform::Object>(tag)));
    ASSERT_TRUE(data);
    // The same archive read as a notebook (a registered class, but another one).
    std::optional<platform::Error> error;
    auto value = platform::KeyedUnarchiver::unarchivedObject(*data, {"EDAMNotebook"}, "root", &error);
    EXPECT_FALSE(value);
    EXPECT_TRUE(error);
}

TEST(NoteConstants, LimitsAndVersions) {
    EXPECT_TRUE(EDAMLimitsConstants::EDAM_MIME_TYPES().count(EDAMLimitsConstants::EDAM_MIME_TYPE_MP3()));
    EXPECT_FALSE(EDAMLimitsConstants::EDAM_MIME_TYPES().count(EDAMLimitsConstants::EDAM_MIME_TYPE_DEFAULT()));
    EXPECT_EQ(EDAMLimitsConstants::EDAM_MIME_TYPES().size(), 8u);
    EXPECT_EQ(&EDAMLimitsConstants::EDAM_PUBLISHING_URI_PROHIBITED(),
              &EDAMLimitsConstants::EDAM_PUBLISHING_URI_PROHIBITED());
    EXPECT_EQ(EDAMLimitsConstants::EDAM_NOTEBOOK_NAME_REGEX(), EDAMLimitsConstants::EDAM_SAVED_SEARCH_NAME_REGEX());
    EXPECT_EQ(EDAMLimitsConstants::EDAM_EMAIL_REGEX(),
              "^[A-Za-z0-9!#$%&'*+/=?^_`{|}~-]+(\\.[A-Za-z0-9!#$%&'*+/=?^_`{|}~-]+)*@[A-Za-z0-9-]+(\\.[A-Za-z0-9-]+)*"
              "\\.([A-Za-z]{2,})$");
    EXPECT_EQ(EDAMLimitsConstants::EDAM_NOTE_CONTENT_LEN_MAX(), 5 * 1024 * 1024);
    EXPECT_EQ(EDAMTypesConstants::EDAM_NOTE_SOURCE_MAIL_SMTP_GATEWAY(), "mail.smtp");
}

}  // namespace
}  // namespace clipora
