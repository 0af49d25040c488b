#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tools/standin/StandinHosts.h"

namespace clipora::standin {

// One file part of a multipart form post, as the stand-in received it.
struct StandinUploadedFile {
    std::string name;      // the part's form-data name
    std::string filename;  // the part's filename attribute ("" when absent)
    std::string contentType;
    std::string data;
};

// One request the stand-in received, as recorded in its log and handed to
// the handlers. Parameters are already decoded; `params` holds the query
// parameters overridden by the form fields of the body.
struct StandinRequest {
    std::optional<StandinHost> host;  // absent for a Host header of no role
    std::string hostHeader;
    std::string method;  // "GET", "POST", "DELETE", ...
    std::string path;    // decoded path, without the query
    std::string target;  // the request target as sent
    std::map<std::string, std::string> query;
    std::map<std::string, std::string> form;
    std::map<std::string, std::string> params;
    std::vector<StandinUploadedFile> files;
    // Header names in lower case; a repeated header keeps its last value.
    std::map<std::string, std::string> headers;
    std::string body;
    // Why the body could not be read as a form ("" when it could, or when
    // it is not a form at all).
    std::string bodyError;

    // Empty when absent.
    std::string param(const std::string& name) const;
    bool hasParam(const std::string& name) const;
    std::string header(const std::string& name) const;
    // The value of one cookie of the Cookie header ("" when absent).
    std::string cookie(const std::string& name) const;
};

}  // namespace clipora::standin
