#include "line/Recipe.h"

#include "line/Sha256.h"
#include "line/SerialTable.h"
#include "line/TomlPlace.h"
#include "platform/host/files.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace line {

namespace {

const unsigned kStepperAddresses[] = {0x14, 0x15, 0x18, 0x1C, 0x1D};

Verdict Usage(const std::string& what) {
    return Verdict::Refuse(kUsageError, what);
}

// Names and revisions reach screens, logs and records: no control character may move a cursor
// or start a line there.
bool HasControlCharacter(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const unsigned char u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7F;
    });
}

bool IsSha256Hex(const std::string& text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
           });
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'F')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string Hex2(unsigned address) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", address);
    return text;
}

// "" when the addresses may be a Stepper recipe's slaves, else what is wrong with them.
std::string SlavesProblem(const std::vector<unsigned>& slaves) {
    if (slaves.empty())
        return "slaves must name at least one address";
    for (size_t i = 0; i < slaves.size(); ++i) {
        if (!IsStepperAddress(slaves[i]))
            return "slave address " + Hex2(slaves[i]) +
                   " is not one of 0x14, 0x15, 0x18, 0x1C, 0x1D";
        if (std::find(slaves.begin(), slaves.begin() + i, slaves[i]) != slaves.begin() + i)
            return "slave address " + Hex2(slaves[i]) + " is given twice";
    }
    return "";
}

// "" when the text may be a name or revision; what is wrong otherwise.
std::string LabelProblem(const char* key, const std::string& text) {
    if (text.empty())
        return std::string(key) + " must not be empty";
    if (HasControlCharacter(text))
        return std::string(key) + " holds a control character";
    return "";
}

// The string at node into *out, or why it cannot be.
std::string TakeString(const toml::node& node, const char* key, std::string* out) {
    if (!node.is_string())
        return std::string(key) + " must be a string";
    *out = node.value<std::string>().value_or("");
    return "";
}

std::string TakeSlaves(const toml::node& node, std::vector<unsigned>* slaves) {
    const toml::array* array = node.as_array();
    if (array == nullptr)
        return "slaves must be a list of addresses";
    for (const toml::node& element : *array) {
        const std::optional<int64_t> value = element.value<int64_t>();
        if (!element.is_integer() || !value)
            return "slaves must be a list of addresses";
        if (*value < 0 || *value > 0xFF)
            return "slave address " + std::to_string(*value) +
                   " is not one of 0x14, 0x15, 0x18, 0x1C, 0x1D";
        slaves->push_back(static_cast<unsigned>(*value));
    }
    return SlavesProblem(*slaves);
}

// A TOML basic string.
std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (u < 0x20 || u == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", u);
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

} // namespace

const char* RecipeTargetName(RecipeTarget target) {
    return target == RecipeTarget::Stepper ? "Stepper" : "OD";
}

bool IsStepperAddress(unsigned address) {
    return std::find(std::begin(kStepperAddresses), std::end(kStepperAddresses), address) !=
           std::end(kStepperAddresses);
}

Verdict ParseRecipe(const std::string& file, std::string_view text, Recipe* recipe) {
    *recipe = Recipe();
    recipe->file = file;
    toml::table table;
    try {
        table = toml::parse(text, file);
    } catch (const toml::parse_error& failure) {
        return Usage(Place(file, failure.source()) + std::string(failure.description()));
    }

    const toml::node* slavesNode = nullptr;
    bool haveTarget = false;
    for (const auto& [key, node] : table) {
        const std::string name(key.str());
        std::string problem;
        if (name == "name") {
            problem = TakeString(node, "name", &recipe->name);
            if (problem.empty())
                problem = LabelProblem("name", recipe->name);
        } else if (name == "revision") {
            problem = TakeString(node, "revision", &recipe->revision);
            if (problem.empty())
                problem = LabelProblem("revision", recipe->revision);
        } else if (name == "target") {
            std::string target;
            problem = TakeString(node, "target", &target);
            if (problem.empty() && target == "OD")
                recipe->target = RecipeTarget::OD;
            else if (problem.empty() && target == "Stepper")
                recipe->target = RecipeTarget::Stepper;
            else if (problem.empty())
                problem = "target must be \"OD\" or \"Stepper\"";
            haveTarget = problem.empty();
        } else if (name == "slaves") {
            slavesNode = &node;
            problem = TakeSlaves(node, &recipe->slaves);
        } else if (name == "image") {
            problem = TakeString(node, "image", &recipe->image);
            if (problem.empty() && recipe->image.empty())
                problem = "image must name a file";
        } else if (name == "image_sha256") {
            problem = TakeString(node, "image_sha256", &recipe->imageSha256);
            if (problem.empty() && !IsSha256Hex(recipe->imageSha256))
                problem = "image_sha256 must be 64 hex digits";
            recipe->imageSha256 = Lower(recipe->imageSha256);
        } else if (name == "serial") {
            const Verdict serial = ParseSerialTable(file, node, &recipe->serial);
            if (!serial.Passed())
                return serial;
        } else {
            return Usage(Place(file, key.source()) + "unknown key " + name);
        }
        if (!problem.empty())
            return Usage(Place(file, node.source()) + problem);
    }

    for (const char* key : {"name", "revision", "target", "image", "image_sha256"})
        if (!table.contains(key))
            return Usage(Place(file, table.source()) + "missing key " + key);
    if (haveTarget && recipe->target == RecipeTarget::OD && slavesNode != nullptr)
        return Usage(Place(file, slavesNode->source()) + "slaves are for a Stepper recipe only");
    if (haveTarget && recipe->target == RecipeTarget::Stepper && slavesNode == nullptr)
        return Usage(Place(file, table.source()) + "missing key slaves (a Stepper recipe)");

    const std::filesystem::path image(recipe->image);
    recipe->imagePath = image.is_absolute()
                            ? image.string()
                            : (std::filesystem::path(file).parent_path() / image).string();
    if (recipe->serial.present && recipe->serial.isList) {
        const std::filesystem::path list(recipe->serial.list);
        recipe->serial.listPath = list.is_absolute()
                                      ? list.string()
                                      : (std::filesystem::path(file).parent_path() / list).string();
    }
    return Verdict::Pass();
}

Verdict ReadRecipeImage(const Recipe& recipe, std::string* bytes) {
    host::FileFacts facts;
    std::string error;
    if (host::ReadWholeFile(recipe.imagePath, kMaxImageBytes, bytes, &facts, &error) !=
        host::ReadStatus::Read)
        return Verdict::Refuse(kFileError,
                               "image " + recipe.imagePath + " cannot be read: " + error);
    const std::string hash = Sha256Hex(*bytes);
    if (hash != recipe.imageSha256) {
        bytes->clear();
        return Verdict::Refuse(kNotApproved, "image " + recipe.imagePath + " does not match " +
                                                 recipe.file + ": its SHA-256 is " + hash);
    }
    return Verdict::Pass();
}

Verdict RecipeNew(const RecipeDraft& draft, std::string* text) {
    text->clear();
    if (draft.target == RecipeTarget::Stepper) {
        const std::string problem = SlavesProblem(draft.slaves);
        if (!problem.empty())
            return Usage(problem);
    } else if (!draft.slaves.empty()) {
        return Usage("slaves are for a Stepper recipe only");
    }
    if (draft.image.empty())
        return Usage("the image must name a file");
    const std::string name =
        draft.name.empty() ? std::filesystem::path(draft.image).stem().string() : draft.name;
    const std::string revision = draft.revision.empty() ? "1" : draft.revision;
    for (const std::string& problem :
         {LabelProblem("the name", name), LabelProblem("the revision", revision)})
        if (!problem.empty())
            return Usage(problem);

    std::string bytes, error;
    host::FileFacts facts;
    if (host::ReadWholeFile(draft.image, kMaxImageBytes, &bytes, &facts, &error) !=
        host::ReadStatus::Read)
        return Verdict::Refuse(kFileError, "image " + draft.image + " cannot be read: " + error);

    std::string out = "name = " + Quoted(name) + "\n";
    out += "revision = " + Quoted(revision) + "\n";
    out += "target = " + Quoted(RecipeTargetName(draft.target)) + "\n";
    if (draft.target == RecipeTarget::Stepper) {
        out += "slaves = [";
        for (size_t i = 0; i < draft.slaves.size(); ++i)
            out += (i ? ", " : "") + Hex2(draft.slaves[i]);
        out += "]\n";
    }
    out += "image = " + Quoted(draft.image) + "\n";
    out += "image_sha256 = " + Quoted(Sha256Hex(bytes)) + "\n";
    *text = out;
    return Verdict::Pass();
}

} // namespace line
