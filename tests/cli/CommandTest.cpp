// The real executable, run as a user runs it: standard input, arguments, output bytes,
// standard error and exit status.

#include "NamedRows.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const std::string kOutputHeader =
    "sexe;age;poids;taille;imc;poids_max;poids_min;resultat;conseils;objectif;resume;erreur\n";
const std::string kAdultRow =
    "M;35;80;1,75;26,12;76,25;56,65;Surcharge pondérale.;Régime hypocalorique avec suivi "
    "médical.;Perdre de 3 à 23 Kg !;Age : 35 ans  Poids : 80 Kg  Taille : 1,75 m  IMC : "
    "26,12 Kg/m²;\n";

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

class Command : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = "/tmp/vimora-assess-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_directory = pattern;
    }

    void TearDown() override {
        for (const char* name : {"in", "out", "err", "patients.csv"})
            std::remove(path(name).c_str());
        rmdir(m_directory.c_str());
    }

    std::string path(const std::string& name) const { return m_directory + "/" + name; }

    void writeFile(const std::string& name, const std::string& contents) const {
        std::ofstream(path(name), std::ios::binary) << contents;
    }

    std::string readFile(const std::string& name) const {
        std::ifstream file(path(name), std::ios::binary);
        std::ostringstream contents;
        contents << file.rdbuf();
        return contents.str();
    }

    // Files rather than pipes for the three streams: nothing can block whatever the command does.
    Result run(const std::vector<std::string>& arguments, const std::string& input = "",
               const std::string& output = "") {
        writeFile("in", input);
        const std::string outputPath = output.empty() ? path("out") : output;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, path("in").c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, path("err").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<std::string> words{VIMORA_ASSESS_PATH};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        argv.reserve(words.size() + 1);
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);

        Result result;
        pid_t child = 0;
        EXPECT_EQ(posix_spawn(&child, VIMORA_ASSESS_PATH, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (output.empty())
            result.out = readFile("out");
        result.err = readFile("err");
        return result;
    }

    std::string m_directory;
};

TEST_F(Command, AssessesStandardInput) {
    const Result result = run({}, "sexe;age;poids;taille\nM;35;80;1,75\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, kOutputHeader + kAdultRow);
    EXPECT_EQ(result.err, "");
}

TEST_F(Command, WhoOptionAddsTwoColumnsAfterTheError) {
    const std::string childRow =
        "F;8;25;1,25;16;28,9;20,57;Corpulence normale.;Pas de régime particulier à réaliser.;Rester avec un "
        "poids adapté à la croissance !;Age : 8 ans  Poids : 25 Kg  Taille : 1,25 m  IMC : 16 Kg/m²;";
    const std::string input = "sexe;age;poids;taille\nF;8;25;1,25\nM;35;80;1,75\n";
    writeFile("patients.csv", input);
    const Result result = run({path("patients.csv"), "--oms"});
    EXPECT_EQ(result.status, 0);
    std::string adultRow = kAdultRow;
    adultRow.insert(adultRow.size() - 1, ";;");
    EXPECT_EQ(result.out, kOutputHeader.substr(0, kOutputHeader.size() - 1) + ";z_oms;percentile_oms\n" +
                              childRow + ";0,18;57,0\n" + adultRow);
    EXPECT_EQ(run({}, input).out, kOutputHeader + childRow + "\n" + kAdultRow);
}

TEST_F(Command, ReadsTheFileGivenOrStandardInputForADash) {
    const std::string input = "\xEF\xBB\xBFsexe;age;poids;taille\r\nM;35;80;1,75\r\n";
    writeFile("patients.csv", input);
    const Result fromFile = run({path("patients.csv")});
    EXPECT_EQ(fromFile.status, 0);
    EXPECT_EQ(fromFile.out, kOutputHeader + kAdultRow);
    const Result fromDash = run({"-"}, input);
    EXPECT_EQ(fromDash.out, kOutputHeader + kAdultRow);
    const Result afterDoubleDash = run({"--", path("patients.csv")});
    EXPECT_EQ(afterDoubleDash.out, kOutputHeader + kAdultRow);
}

TEST_F(Command, ExitsOneWhenARowFailsAndStillWritesEveryRow) {
    const Result result = run({}, "sexe;age;poids;taille\nM;35;80;1.75\nM;35;80;1,75\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, kOutputHeader +
                              "M;35;80;1.75;;;;;;;;'1.75' n'est pas une valeur en virgule flottante "
                              "correcte.\n" +
                              kAdultRow);
    EXPECT_EQ(result.err, "");
}

TEST_F(Command, AnErrorQuotesTheWholeFieldWithItsNulBytesShownAsBackslashZero) {
    const std::string nul(1, '\0');
    const Result result =
        run({}, "sexe;age;poids;taille\nM;3" + nul + "5;80;1,75\nX" + nul + "Y;35;80;1,75\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out,
              kOutputHeader + "M;3" + nul +
                  "5;80;1,75;;;;;;;;'3\\05' n'est pas une valeur en virgule flottante correcte.\n" + "X" +
                  nul + "Y;35;80;1,75;;;;;;;;Sexe inconnu : 'X\\0Y'\n");
}

TEST_F(Command, AFaultInTheMiddleLeavesAnUnmistakablyIncompleteOutput) {
    const Result result = run({}, "sexe;age;poids;taille\nM;35;80;1,75\nM;35;80\nM;35;80;1,75\n");
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out,
              kOutputHeader + kAdultRow +
                  ";;;;;;;;;;;Lecture interrompue (ligne 3 : 3 champs au lieu de 4) : la suite de "
                  "l'entrée n'a pas été évaluée.\n");
    EXPECT_EQ(result.err, "vimora-assess : ligne 3 : 3 champs au lieu de 4\n"
                          "vimora-assess : lecture interrompue : le résultat est incomplet\n");
}

struct UsageCase {
    const char* name;
    std::vector<std::string> arguments;
    std::string input;
    std::string err;
};

class CommandUsage : public Command, public testing::WithParamInterface<UsageCase> {};

TEST_P(CommandUsage, ExitsTwoWithAFrenchMessageAndNoOutput) {
    std::vector<std::string> arguments = GetParam().arguments;
    for (std::string& argument : arguments)
        if (argument.starts_with("@"))
            argument = m_directory + argument.substr(1);
    std::string expected = GetParam().err;
    if (const auto at = expected.find('@'); at != std::string::npos)
        expected.replace(at, 1, m_directory);
    const Result result = run(arguments, GetParam().input);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Command, CommandUsage,
    testing::Values(
        UsageCase{"MissingFile",
                  {"@/absent.csv"},
                  "",
                  "vimora-assess : impossible de lire '@/absent.csv' : fichier introuvable\n"},
        UsageCase{"Directory", {"@"}, "", "vimora-assess : impossible de lire '@' : c'est un répertoire\n"},
        UsageCase{"EmptyInput",
                  {},
                  "",
                  "vimora-assess : en-tête manquant : la première ligne doit être sexe;age;poids;taille\n"},
        UsageCase{"WrongHeader",
                  {},
                  "sexe;age;poids\nM;35;80\n",
                  "vimora-assess : ligne 1 : en-tête attendu : sexe;age;poids;taille\n"},
        UsageCase{
            "UnknownOption",
            {"--verbose"},
            "",
            "vimora-assess : option inconnue : '--verbose'\nPour en savoir plus : vimora-assess --help\n"},
        UsageCase{"TwoFiles",
                  {"a.csv", "b.csv"},
                  "",
                  "vimora-assess : un seul fichier à la fois\nPour en savoir plus : vimora-assess --help\n"}),
    vimora::test::RowName());

TEST_F(Command, HelpAndVersion) {
    const Result help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("Utilisation : vimora-assess [--oms] [FICHIER]\n")) << help.out;
    EXPECT_NE(help.out.find("Lecture interrompue"), std::string::npos)
        << "the help explains incomplete output";
    EXPECT_EQ(run({"-h"}).out, help.out);
    const Result version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "vimora-assess (Vimora XP) " VIMORA_VERSION "\n");
}

TEST_F(Command, AFailedWriteExitsTwo) {
    const Result result = run({}, "sexe;age;poids;taille\nM;35;80;1,75\n", "/dev/full");
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "vimora-assess : erreur d'écriture : plus de place sur le disque\n");
}

// With SIGPIPE ignored, as some shells and services start commands, a closed output is a write
// error like any other, in French.
TEST_F(Command, AClosedOutputIsReportedInFrench) {
    std::array<int, 2> pipeEnds{};
    ASSERT_EQ(pipe(pipeEnds.data()), 0);
    close(pipeEnds[0]);
    writeFile("in", "sexe;age;poids;taille\nM;35;80;1,75\n");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, path("in").c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, path("err").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    struct sigaction previous {};
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &previous);
    std::string program = VIMORA_ASSESS_PATH;
    std::array<char*, 2> argv{program.data(), nullptr};
    pid_t child = 0;
    EXPECT_EQ(posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ), 0);
    sigaction(SIGPIPE, &previous, nullptr);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << status;
    EXPECT_EQ(readFile("err"), "vimora-assess : erreur d'écriture : la sortie a été fermée (tube rompu)\n");
}

TEST_F(Command, StreamsALongListInOrder) {
    std::string input = "sexe;age;poids;taille\n";
    for (int i = 0; i < 30'000; ++i)
        input += "F;35;" + std::to_string(40 + i % 60) + ";1,75\n";
    const Result result = run({}, input);
    EXPECT_EQ(result.status, 0);
    std::istringstream lines(result.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line + "\n", kOutputHeader);
    for (int i = 0; i < 30'000; ++i) {
        ASSERT_TRUE(std::getline(lines, line)) << "row " << i;
        ASSERT_TRUE(line.starts_with("F;35;" + std::to_string(40 + i % 60) + ";1,75;")) << line;
    }
    EXPECT_FALSE(std::getline(lines, line));
}

} // namespace
