#!/usr/bin/env python3
"""Turns the note service's interface definition (edam.thrift) into the
client's C++ record classes, service interfaces, clients and processors.

What it writes is thin: per record a field table for the record engine
(notes/types/Record.*) and typed accessors; per service an interface, a
client whose operations hand records to ServiceClient, and a processor whose
handlers hand them to ServiceProcessor. All reading, writing, describing,
archiving and call handling lives in that hand-written engine.

Usage: edamgen.py <edam.thrift> <output folder>
Only the subset of the interface language that edam.thrift uses is read:
enums, structs, exceptions and services, with optional fields of base
types, enums, records, lists and maps.
"""

import os
import re
import sys

BASE = {"bool", "i16", "i32", "i64", "double", "string", "binary"}


class Type:
    def __init__(self, name, args=()):
        self.name = name
        self.args = list(args)

    def __repr__(self):
        return self.name + (("<" + ",".join(map(repr, self.args)) + ">") if self.args else "")


class Field:
    def __init__(self, fid, ftype, name):
        self.id = fid
        self.type = ftype
        self.name = name


class Struct:
    def __init__(self, name, fields, is_exception=False):
        self.name = name
        self.fields = fields
        self.is_exception = is_exception


class Method:
    def __init__(self, ret, name, args, throws):
        self.ret = ret
        self.name = name
        self.args = args
        self.throws = throws


def tokenize(text):
    text = re.sub(r"//[^\n]*", "", text)
    return re.findall(r"[A-Za-z_][A-Za-z0-9_.]*|-?\d+|[{}()<>,:=;]", text)


class Parser:
    def __init__(self, text):
        self.toks = tokenize(text)
        self.pos = 0
        self.enums = {}
        self.structs = []
        self.services = []

    def peek(self):
        return self.toks[self.pos] if self.pos < len(self.toks) else None

    def next(self):
        tok = self.toks[self.pos]
        self.pos += 1
        return tok

    def expect(self, tok):
        got = self.next()
        if got != tok:
            raise SystemExit("edamgen: expected %r, got %r" % (tok, got))

    def skip_sep(self):
        while self.peek() in (",", ";"):
            self.next()

    def parse(self):
        while self.peek() is not None:
            kw = self.next()
            if kw == "namespace":
                self.next()
                self.next()
            elif kw == "enum":
                self.parse_enum()
            elif kw in ("struct", "exception"):
                self.parse_struct(kw == "exception")
            elif kw == "service":
                self.parse_service()
            else:
                raise SystemExit("edamgen: unexpected %r" % kw)

    def parse_enum(self):
        name = self.next()
        self.expect("{")
        values = []
        while self.peek() != "}":
            label = self.next()
            self.expect("=")
            values.append((label, int(self.next())))
            self.skip_sep()
        self.next()
        self.enums[name] = values

    def parse_type(self):
        name = self.next()
        if name == "list":
            self.expect("<")
            elem = self.parse_type()
            self.expect(">")
            return Type("list", [elem])
        if name == "map":
            self.expect("<")
            key = self.parse_type()
            self.expect(",")
            value = self.parse_type()
            self.expect(">")
            return Type("map", [key, value])
        return Type(name)

    def parse_fields(self, close):
        fields = []
        while self.peek() != close:
            fid = int(self.next())
            self.expect(":")
            if self.peek() in ("optional", "required"):
                self.next()
            ftype = self.parse_type()
            fields.append(Field(fid, ftype, self.next()))
            self.skip_sep()
        self.next()
        return sorted(fields, key=lambda f: f.id)

    def parse_struct(self, is_exception):
        name = self.next()
        self.expect("{")
        self.structs.append(Struct(name, self.parse_fields("}"), is_exception))

    def parse_service(self):
        name = self.next()
        self.expect("{")
        methods = []
        while self.peek() != "}":
            ret = None if self.peek() == "void" else None
            if self.peek() == "void":
                self.next()
            else:
                ret = self.parse_type()
            mname = self.next()
            self.expect("(")
            args = self.parse_fields(")")
            throws = []
            if self.peek() == "throws":
                self.next()
                self.expect("(")
                throws = self.parse_fields(")")
            methods.append(Method(ret, mname, args, throws))
            self.skip_sep()
        self.next()
        self.services.append((name, methods))


class Gen:
    def __init__(self, parser):
        self.p = parser
        self.records = {s.name: s for s in parser.structs}

    # ---- names and types ----

    def cls(self, name):
        return name if name.startswith("EDAM") else "EDAM" + name

    def kind(self, t):
        if t.name in self.p.enums:
            return "I32"
        return {
            "bool": "Bool", "i16": "I16", "i32": "I32", "i64": "I64", "double": "Double",
            "string": "String", "binary": "Binary", "list": "List", "map": "Map",
        }.get(t.name, "Struct")

    def cpp(self, t):
        k = self.kind(t)
        if k == "Bool":
            return "bool"
        if k in ("I16", "I32", "I64"):
            return "std::int%s_t" % k[1:]
        if k == "Double":
            return "double"
        if k == "String":
            return "std::optional<std::string>"
        if k == "Binary":
            return "std::optional<platform::Data>"
        if k == "Struct":
            return "std::shared_ptr<%s>" % self.cls(t.name)
        if k == "List":
            return "std::optional<std::vector<%s>>" % self.elem_cpp(t.args[0])
        return "std::optional<std::map<%s, %s>>" % (self.elem_cpp(t.args[0]), self.elem_cpp(t.args[1]))

    def elem_cpp(self, t):
        k = self.kind(t)
        if k == "String":
            return "std::string"
        if k == "Struct":
            return "std::shared_ptr<%s>" % self.cls(t.name)
        return self.cpp(t)

    def is_scalar(self, t):
        return self.kind(t) in ("Bool", "I16", "I32", "I64", "Double")

    def param(self, f):
        c = self.cpp(f.type)
        return ("%s %s" if self.is_scalar(f.type) else "const %s& %s") % (c, f.name)

    def record_of(self, t):
        k = self.kind(t)
        if k == "Struct":
            return self.cls(t.name)
        if k == "List" and self.kind(t.args[0]) == "Struct":
            return self.cls(t.args[0].name)
        return None

    @staticmethod
    def cap(name):
        return name[0].upper() + name[1:]

    # ---- one record class ----

    def class_decl(self, cname, wire, fields, base, is_exception, is_result):
        out = []
        out.append("class %s final : public %s {" % (cname, base))
        out.append("public:")
        if is_exception:
            out.append("    %s();" % cname)
            out.append("    %s(std::string name, std::string reason, platform::Value::Dictionary userInfo);" % cname)
            out.append("    [[noreturn]] void raise() const override;")
        else:
            out.append("    %s() = default;" % cname)
        if fields:
            init = "initWith" + "".join(self.cap(f.name) for f in fields)
            out.append("    // Every field stored and marked set, absent objects too.")
            out.append("    static std::shared_ptr<%s> %s(%s);" % (cname, init, ", ".join(self.param(f) for f in fields)))
        out.append("    static std::shared_ptr<%s> initWithCoder(platform::KeyedUnarchiver& coder);" % cname)
        out.append("    static const RecordType& staticRecordType();")
        out.append("    const RecordType& recordType() const override;")
        out.append("")
        for i, f in enumerate(fields):
            c = self.cpp(f.type)
            n = f.name
            N = self.cap(n)
            if self.is_scalar(f.type):
                out.append("    %s %s() const { return %s_; }" % (c, n, n))
                out.append("    void set%s(%s value) { %s_ = value; setFlag(%d); }" % (N, c, n, i))
                out.append("    void unset%s() { clearFlag(%d); }" % (N, i))
            else:
                out.append("    const %s& %s() const { return %s_; }" % (c, n, n))
                out.append("    void set%s(%s value) { %s_ = std::move(value); setFlag(%d); }" % (N, c, n, i))
                out.append("    void unset%s() { %s_ = {}; clearFlag(%d); }" % (N, n, i))
            out.append("    bool %sIsSet() const { return isSetAt(%d); }" % (n, i))
        out.append("")
        out.append("private:")
        for f in fields:
            init = "{}" if self.is_scalar(f.type) else ""
            out.append("    %s %s_%s;" % (self.cpp(f.type), f.name, init))
        out.append("};")
        out.append("")
        return out

    def class_def(self, cname, wire, fields, is_exception, is_result, is_call=False):
        out = []
        descs = []
        for f in fields:
            k = self.kind(f.type)
            elem = key = "String"
            if k == "List":
                elem = self.kind(f.type.args[0])
            elif k == "Map":
                key = self.kind(f.type.args[0])
                elem = self.kind(f.type.args[1])
            rec = self.record_of(f.type)
            ops = "&RecordSlot<%s>::ops" % rec if rec else "nullptr"
            descs.append(
                "        {%d, \"%s\", FieldKind::%s, FieldKind::%s, FieldKind::%s, %s,\n"
                "         [](Record& r) -> void* { return &static_cast<%s&>(r).%s_; }},"
                % (f.id, f.name, k, elem, key, ops, cname, f.name))
        out.append("const RecordType& %s::staticRecordType() {" % cname)
        if descs:
            out.append("    static const FieldDescriptor fields[] = {")
            out.extend(descs)
            out.append("    };")
            span = "fields"
        else:
            span = "{}"
        out.append("    static const RecordType type{\"%s\", \"%s\", %s, %s, %s,"
                   % (cname, wire, "true" if is_result else "false", "true" if is_call else "false", span))
        out.append("                                 []() -> std::shared_ptr<Record> { return std::make_shared<%s>(); }};"
                   % cname)
        out.append("    return type;")
        out.append("}")
        out.append("")
        out.append("const RecordType& %s::recordType() const { return staticRecordType(); }" % cname)
        out.append("")
        if fields:
            init = "initWith" + "".join(self.cap(f.name) for f in fields)
            out.append("std::shared_ptr<%s> %s::%s(%s) {" % (cname, cname, init,
                                                             ", ".join(self.param(f) for f in fields)))
            out.append("    auto record = std::make_shared<%s>();" % cname)
            for f in fields:
                out.append("    record->set%s(%s);" % (self.cap(f.name), f.name))
            out.append("    return record;")
            out.append("}")
            out.append("")
        if is_exception:
            out.append("%s::%s() : NoteServiceException(\"%s\") {}" % (cname, cname, cname))
            out.append("")
            out.append("%s::%s(std::string name, std::string reason, platform::Value::Dictionary userInfo)"
                       % (cname, cname))
            out.append("    : NoteServiceException(std::move(name), std::move(reason), std::move(userInfo)) {}")
            out.append("")
            out.append("void %s::raise() const { throw *this; }" % cname)
            out.append("")
            out.append("std::shared_ptr<%s> %s::initWithCoder(platform::KeyedUnarchiver& coder) {" % (cname, cname))
            out.append("    auto base = NoteServiceException::decodeBase(coder, \"%s\");" % cname)
            out.append("    auto record = std::make_shared<%s>(std::move(base.name), std::move(base.reason),"
                       " std::move(base.userInfo));" % cname)
        else:
            out.append("std::shared_ptr<%s> %s::initWithCoder(platform::KeyedUnarchiver& coder) {" % (cname, cname))
            out.append("    auto record = std::make_shared<%s>();" % cname)
        out.append("    if (!record->decodeFieldsWithCoder(coder)) return nullptr;")
        out.append("    return record;")
        out.append("}")
        out.append("")
        return out

    def registrations(self, names):
        out = ["namespace {", "", "// Archives name record classes; every class of this file can be rebuilt.",
               "const bool registered = [] {"]
        for n in names:
            out.append("    registerRecordClass(\"%s\", [](platform::KeyedUnarchiver& c) -> "
                       "std::shared_ptr<platform::Object> { return %s::initWithCoder(c); });" % (n, n))
        out += ["    return true;", "}();", "", "}  // namespace", ""]
        return out

    # ---- files ----

    HEADER = ["// Generated by notes/edamgen.py from notes/edam.thrift; do not edit.", "#pragma once", ""]

    def write(self, path, lines):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        text = "\n".join(lines) + "\n"
        if os.path.exists(path):
            with open(path) as f:
                if f.read() == text:
                    return
        with open(path, "w") as f:
            f.write(text)

    def types(self, outdir):
        h = list(self.HEADER)
        h += ["#include <cstdint>", "#include <map>", "#include <memory>", "#include <optional>",
              "#include <string>", "#include <vector>", "",
              "#include \"notes/types/NoteServiceException.h\"", "#include \"notes/types/Record.h\"", "",
              "namespace clipora {", ""]
        for name, values in self.p.enums.items():
            h.append("enum class EDAM%s : std::int32_t {" % name.replace("EDAM", ""))
            for label, value in values:
                h.append("    %s = %d," % (label, value))
            h.append("};")
            h.append("")
        for s in self.p.structs:
            h.append("class %s;" % self.cls(s.name))
        h.append("")
        for s in self.p.structs:
            base = "NoteServiceException" if s.is_exception else "Record"
            wire = s.name
            h += self.class_decl(self.cls(s.name), wire, s.fields, base, s.is_exception, False)
        h += ["}  // namespace clipora"]
        self.write(os.path.join(outdir, "notes/types/EDAMTypes.h"), h)

        c = ["// Generated by notes/edamgen.py from notes/edam.thrift; do not edit.",
             "#include \"notes/types/EDAMTypes.h\"", "",
             "#include \"platform/foundation/KeyedUnarchiver.h\"", "", "namespace clipora {", ""]
        for s in self.p.structs:
            c += self.class_def(self.cls(s.name), s.name, s.fields, s.is_exception, False)
        c += self.registrations([self.cls(s.name) for s in self.p.structs])
        c += ["}  // namespace clipora"]
        self.write(os.path.join(outdir, "notes/types/EDAMTypes.cpp"), c)

    def call_structs(self, methods):
        """(class name, wire name, fields, is_result) of every call structure, args then result."""
        out = []
        for m in methods:
            out.append(("EDAM%s_args" % m.name, "%s_args" % m.name, m.args, False))
            fields = ([Field(0, m.ret, "success")] if m.ret else []) + m.throws
            out.append(("EDAM%s_result" % self.cap(m.name), "%s_result" % self.cap(m.name), fields, True))
        return out

    def ret_cpp(self, m):
        return self.cpp(m.ret) if m.ret else "void"

    def service(self, outdir, sname, methods):
        folder = {"UserStore": "userstore", "NoteStore": "notestore"}[sname]
        iface = "EDAM" + sname
        structs = self.call_structs(methods)

        # Call structures.
        h = list(self.HEADER)
        h += ["#include \"notes/types/EDAMTypes.h\"", "", "namespace clipora {", ""]
        for cname, wire, fields, is_result in structs:
            h += self.class_decl(cname, wire, fields, "Record", False, is_result)
        h += ["}  // namespace clipora"]
        self.write(os.path.join(outdir, "notes/%s/%sCalls.h" % (folder, iface)), h)
        c = ["// Generated by notes/edamgen.py from notes/edam.thrift; do not edit.",
             "#include \"notes/%s/%sCalls.h\"" % (folder, iface), "",
             "#include \"platform/foundation/KeyedUnarchiver.h\"", "", "namespace clipora {", ""]
        for cname, wire, fields, is_result in structs:
            c += self.class_def(cname, wire, fields, False, is_result, True)
        c += self.registrations([s[0] for s in structs])
        c += ["}  // namespace clipora"]
        self.write(os.path.join(outdir, "notes/%s/%sCalls.cpp" % (folder, iface)), c)

        # Interface and client.
        h = list(self.HEADER)
        h += ["#include <cstdint>", "#include <memory>", "#include <optional>", "#include <string>",
              "#include <vector>", "", "#include \"notes/types/EDAMTypes.h\"",
              "#include \"notes/types/ServiceClient.h\"", "", "namespace clipora {", "",
              "// The operations of the service, in the order of its interface definition.",
              "class %s {" % iface, "public:", "    virtual ~%s() = default;" % iface]
        for m in methods:
            h.append("    virtual %s %s(%s) = 0;" % (self.ret_cpp(m), m.name, ", ".join(self.param(a) for a in m.args)))
        h += ["};", "",
              "// Each operation is one call message (sequence id 0) written and flushed on the",
              "// output protocol, then one reply read from the input protocol: the result,",
              "// or the declared exception it carries, or TApplicationException. Calls",
              "// must not overlap on one client.",
              "class %sClient final : public %s, private ServiceClient {" % (iface, iface), "public:",
              "    explicit %sClient(std::shared_ptr<apache::thrift::protocol::TProtocol> protocol);" % iface,
              "    %sClient(std::shared_ptr<apache::thrift::protocol::TProtocol> inProtocol," % iface,
              "              std::shared_ptr<apache::thrift::protocol::TProtocol> outProtocol);",
              "    static std::shared_ptr<%sClient> initWithProtocol(" % iface,
              "        std::shared_ptr<apache::thrift::protocol::TProtocol> protocol);",
              "    static std::shared_ptr<%sClient> initWithInProtocolOutProtocol(" % iface,
              "        std::shared_ptr<apache::thrift::protocol::TProtocol> inProtocol,",
              "        std::shared_ptr<apache::thrift::protocol::TProtocol> outProtocol);", ""]
        for m in methods:
            params = ", ".join(self.param(a) for a in m.args)
            h.append("    %s %s(%s) override;" % (self.ret_cpp(m), m.name, params))
            h.append("    void send_%s(%s);" % (m.name, params))
            h.append("    %s recv_%s();" % (self.ret_cpp(m), m.name))
        h += ["};", "", "}  // namespace clipora"]
        self.write(os.path.join(outdir, "notes/%s/%s.h" % (folder, iface)), h)

        c = ["// Generated by notes/edamgen.py from notes/edam.thrift; do not edit.",
             "#include \"notes/%s/%s.h\"" % (folder, iface), "",
             "#include \"notes/%s/%sCalls.h\"" % (folder, iface), "", "namespace clipora {", "",
             "%sClient::%sClient(std::shared_ptr<apache::thrift::protocol::TProtocol> protocol)" % (iface, iface),
             "    : ServiceClient(protocol, protocol) {}", "",
             "%sClient::%sClient(std::shared_ptr<apache::thrift::protocol::TProtocol> inProtocol," % (iface, iface),
             "                     std::shared_ptr<apache::thrift::protocol::TProtocol> outProtocol)",
             "    : ServiceClient(std::move(inProtocol), std::move(outProtocol)) {}", "",
             "std::shared_ptr<%sClient> %sClient::initWithProtocol(" % (iface, iface),
             "    std::shared_ptr<apache::thrift::protocol::TProtocol> protocol) {",
             "    return std::make_shared<%sClient>(std::move(protocol));" % iface, "}", "",
             "std::shared_ptr<%sClient> %sClient::initWithInProtocolOutProtocol(" % (iface, iface),
             "    std::shared_ptr<apache::thrift::protocol::TProtocol> inProtocol,",
             "    std::shared_ptr<apache::thrift::protocol::TProtocol> outProtocol) {",
             "    return std::make_shared<%sClient>(std::move(inProtocol), std::move(outProtocol));" % iface,
             "}", ""]
        for m in methods:
            params = ", ".join(self.param(a) for a in m.args)
            names = ", ".join(a.name for a in m.args)
            ret = self.ret_cpp(m)
            c.append("%s %sClient::%s(%s) {" % (ret, iface, m.name, params))
            c.append("    send_%s(%s);" % (m.name, names))
            c.append("    %srecv_%s();" % ("return " if m.ret else "", m.name))
            c.append("}")
            c.append("")
            c.append("void %sClient::send_%s(%s) {" % (iface, m.name, params))
            c.append("    EDAM%s_args args;" % m.name)
            for a in m.args:
                c.append("    args.set%s(%s);" % (self.cap(a.name), a.name))
            c.append("    sendCall(\"%s\", args);" % m.name)
            c.append("}")
            c.append("")
            c.append("%s %sClient::recv_%s() {" % (ret, iface, m.name))
            c.append("    EDAM%s_result result;" % self.cap(m.name))
            c.append("    receiveReply(result);")
            if m.ret:
                c.append("    if (result.successIsSet()) return result.success();")
            if m.ret:
                c.append("    raiseMissingResult(result, \"%s\");" % m.name)
            else:
                c.append("    raiseDeclaredException(result);")
            c.append("}")
            c.append("")
        c += ["}  // namespace clipora"]
        self.write(os.path.join(outdir, "notes/%s/%s.cpp" % (folder, iface)), c)

        # Processor.
        proc = iface + "Processor"
        h = list(self.HEADER)
        h += ["#include <cstdint>", "#include <memory>", "", "#include \"notes/%s/%s.h\"" % (folder, iface),
              "#include \"notes/types/ServiceProcessor.h\"", "", "namespace clipora {", "",
              "// Serves the operations of %s: one incoming message per" % iface,
              "// processOnInputProtocolOutputProtocol, its reply written and flushed.",
              "class %s final : public ServiceProcessor {" % proc, "public:",
              "    explicit %s(std::shared_ptr<%s> service);" % (proc, iface),
              "    static std::shared_ptr<%s> initWith%s(std::shared_ptr<%s> service);" % (proc, sname, iface),
              "    const std::shared_ptr<%s>& service() const { return service_; }" % iface, ""]
        for m in methods:
            h.append("    void process_%s_withSequenceIDInProtocolOutProtocol(std::int32_t sequenceID," % m.name)
            h.append("        apache::thrift::protocol::TProtocol& in, apache::thrift::protocol::TProtocol& out);")
        h += ["", "private:", "    std::shared_ptr<%s> service_;" % iface, "};", "", "}  // namespace clipora"]
        self.write(os.path.join(outdir, "notes/%s/%s.h" % (folder, proc)), h)

        c = ["// Generated by notes/edamgen.py from notes/edam.thrift; do not edit.",
             "#include \"notes/%s/%s.h\"" % (folder, proc), "",
             "#include \"notes/%s/%sCalls.h\"" % (folder, iface), "", "namespace clipora {", "",
             "namespace {", ""]
        for m in methods:
            args = ", ".join("a.%s()" % a.name for a in m.args)
            c.append("void invoke_%s(%s& service, const Record& args, Record& result) {" % (m.name, iface))
            c.append("    auto& a = static_cast<const EDAM%s_args&>(args);" % m.name)
            if m.ret:
                c.append("    static_cast<EDAM%s_result&>(result).setSuccess(service.%s(%s));"
                         % (self.cap(m.name), m.name, args))
            else:
                c.append("    (void)result;")
                c.append("    service.%s(%s);" % (m.name, args))
            c.append("}")
            c.append("")
        c.append("const ServiceProcessor::Operation operations[] = {")
        for m in methods:
            c.append("    {\"%s\", &EDAM%s_args::staticRecordType, &EDAM%s_result::staticRecordType," % (
                m.name, m.name, self.cap(m.name)))
            c.append("     [](ServiceProcessor& p, const Record& a, Record& r) {")
            c.append("         invoke_%s(*static_cast<%s&>(p).service(), a, r);" % (m.name, proc))
            c.append("     }},")
        c += ["};", "", "}  // namespace", "",
              "%s::%s(std::shared_ptr<%s> service)" % (proc, proc, iface),
              "    : ServiceProcessor(operations), service_(std::move(service)) {}", "",
              "std::shared_ptr<%s> %s::initWith%s(std::shared_ptr<%s> service) {" % (proc, proc, sname, iface),
              "    return std::make_shared<%s>(std::move(service));" % proc, "}", ""]
        for i, m in enumerate(methods):
            c.append("void %s::process_%s_withSequenceIDInProtocolOutProtocol(std::int32_t sequenceID," % (proc, m.name))
            c.append("    apache::thrift::protocol::TProtocol& in, apache::thrift::protocol::TProtocol& out) {")
            c.append("    handle(operations[%d], sequenceID, in, out);" % i)
            c.append("}")
            c.append("")
        c += ["}  // namespace clipora"]
        self.write(os.path.join(outdir, "notes/%s/%s.cpp" % (folder, proc)), c)


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    with open(sys.argv[1]) as f:
        parser = Parser(f.read())
    parser.parse()
    gen = Gen(parser)
    gen.types(sys.argv[2])
    for name, methods in parser.services:
        gen.service(sys.argv[2], name, methods)


if __name__ == "__main__":
    main()
