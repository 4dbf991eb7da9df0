// vimora-assess: the window's assessment for a whole list of patients.

#include "BatchAssessment.h"
#include "Version.h"
#include "platform/SystemErrors.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace vimora::cli;
using vimora::csv::CsvReader;
using vimora::csv::CsvWriter;
using vimora::csv::OutputError;

constexpr const char* kProgramName = "vimora-assess";

constexpr const char* kHelp = R"(Utilisation : vimora-assess [--oms] [FICHIER]
Évalue la corpulence de chaque patient d'une liste, avec les mêmes calculs et les
mêmes textes que la fenêtre de Vimora XP.

Lit FICHIER, ou l'entrée standard quand FICHIER est absent ou vaut « - », et écrit
sur la sortie standard. Texte UTF-8 (une marque d'ordre des octets au début est
acceptée), champs séparés par « ; », fins de ligne LF ou CR LF.

Entrée : la ligne d'en-tête sexe;age;poids;taille (en majuscules ou en
minuscules), puis une ligne par patient :
  sexe    M, F, Masculin ou Féminin (avec ou sans accent), en majuscules ou
          en minuscules
  age     en années, comme dans la fenêtre (2 ans et 3 mois : 2,25)
  poids   en kilogrammes
  taille  en mètres ; la virgule est le séparateur décimal (1,75 et non 1.75)
Les lignes vides sont ignorées. Un champ peut être entre guillemets "..." (un
guillemet doublé "" y vaut un guillemet) et contenir alors « ; » ou une fin de ligne.
Un enregistrement (une ligne, avec les fins de ligne de ses champs entre
guillemets) a au plus 1 Mio (1 048 576 octets). Tout nombre est évalué, sans
contrôle de vraisemblance, comme dans la fenêtre : un poids de -80 kg donne un
IMC de -26,12.

Sortie : l'en-tête
  sexe;age;poids;taille;imc;poids_max;poids_min;resultat;conseils;objectif;resume;erreur
puis une ligne par patient, dans l'ordre de l'entrée, qui reprend les quatre champs
lus et donne les textes de la fenêtre : l'indice, les poids maximal et minimal, le
résultat, les conseils, l'objectif et la ligne de résumé. Quand un patient ne peut
pas être évalué, la colonne erreur donne le message que la fenêtre afficherait et
les colonnes de résultat restent vides.

Avec --oms, deux colonnes suivent la colonne erreur :
  z_oms           le z-score IMC/âge de l'OMS, au centième (-1,23)
  percentile_oms  le percentile correspondant, au dixième (9,4 ; 100,0 au plus
                  haut, 0,0 au plus bas : ce sont des arrondis)
L'âge en jours vaut l'âge en années × 365,25. Avant 60 mois (1826,25 jours) la
référence est la norme de croissance de l'OMS de 2006, au jour le plus proche ;
ensuite la référence OMS 2007 des 5-19 ans, interpolée entre les mois entiers
(mois = jours / 30,4375). Les deux colonnes restent vides pour un adulte (plus de
18 ans), à partir de 229 mois, pour un IMC qui n'est pas positif et pour une
ligne en erreur. Le résultat (colonne resultat) reste donné par la table de
seuils de Vimora XP ; le z-score est une information de plus. Sans --oms, la
sortie est exactement celle décrite plus haut.

Code de sortie :
  0    tous les patients ont été évalués ;
  1    au moins un patient n'a pas pu l'être (toutes les lignes sont écrites) ;
  2    la commande n'a pas pu aller au bout : option inconnue, plus d'un
       fichier, fichier illisible, en-tête absent ou incorrect, ligne qui n'a
       pas exactement quatre champs, guillemet non fermé, texte qui n'est pas
       en UTF-8, enregistrement de plus de 1 Mio, ou écriture du résultat
       impossible (disque plein : « erreur d'écriture : plus de place sur le
       disque »). Le message, avec le numéro de ligne pour une erreur de
       l'entrée, est écrit sur la sortie d'erreur. Pour une option, un fichier
       ou un en-tête en défaut, rien n'est écrit. Sinon les lignes déjà
       évaluées restent écrites ; après une erreur de l'entrée, elles sont
       suivies d'une dernière ligne dont la colonne erreur commence par
       « Lecture interrompue » : ce résultat est incomplet, corrigez l'entrée
       et relancez la commande ;
  141  la sortie a été fermée avant la fin (par exemple par head) : la commande
       est arrêtée par le signal SIGPIPE, que le shell rapporte par le code
       141 ; le résultat est incomplet.

Quand la sortie d'erreur est un terminal et que l'entrée est un fichier, une ligne
de progression (lignes traitées, lignes par seconde) y est affichée.

Options :
      --oms      ajoute le z-score et le percentile IMC/âge de l'OMS
  -h, --help     affiche cette aide
      --version  affiche la version
)";

void printError(const std::string& message) {
    std::fprintf(stderr, "%s : %s\n", kProgramName, message.c_str());
}

// Shows rows done and rows per second on one line of the terminal, a few times a second.
class ProgressLine {
public:
    void update(std::size_t rows) {
        const auto now = Clock::now();
        if (now - m_lastShown < std::chrono::milliseconds(250))
            return;
        m_lastShown = now;
        show(rows, now);
    }

    void finish(std::size_t rows) {
        if (m_shown) {
            show(rows, Clock::now());
            std::fputc('\n', stderr);
        }
    }

private:
    using Clock = std::chrono::steady_clock;

    void show(std::size_t rows, Clock::time_point now) {
        const double seconds = std::chrono::duration<double>(now - m_start).count();
        const double rate = seconds > 0 ? double(rows) / seconds : 0;
        std::fprintf(stderr, "\r%zu lignes traitées, %.0f lignes/s ", rows, rate);
        std::fflush(stderr);
        m_shown = true;
    }

    Clock::time_point m_start = Clock::now();
    Clock::time_point m_lastShown = m_start;
    bool m_shown = false;
};

std::size_t readInput(int fd, char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t count = ::read(fd, buffer, size);
        if (count >= 0)
            return static_cast<std::size_t>(count);
        if (errno != EINTR)
            throw std::runtime_error("erreur de lecture : " + vimora::platform::systemErrorText(errno));
    }
}

void writeOutput(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t count = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
        if (count < 0) {
            if (errno == EINTR)
                continue;
            throw OutputError("erreur d'écriture : " + vimora::platform::systemErrorText(errno));
        }
        bytes.remove_prefix(static_cast<std::size_t>(count));
    }
}

int usageError(const std::string& message) {
    printError(message);
    std::fprintf(stderr, "Pour en savoir plus : %s --help\n", kProgramName);
    return 2;
}

// What the command line asks for.
struct Request {
    bool help = false;
    bool version = false;
    BatchOptions options;
    std::string usageError;
    std::vector<std::string_view> files;
};

Request parseArguments(int argc, char** argv) {
    Request request;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (optionsEnded || argument == "-" || !argument.starts_with('-')) {
            request.files.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "-h" || argument == "--help") {
            request.help = true;
            return request;
        } else if (argument == "--oms") {
            request.options.whoScores = true;
        } else if (argument == "--version") {
            request.version = true;
            return request;
        } else {
            request.usageError = "option inconnue : '" + std::string(argument) + "'";
            return request;
        }
    }
    if (request.files.size() > 1)
        request.usageError = "un seul fichier à la fois";
    return request;
}

// The input named on the command line, or -1 once the reason it cannot be read is printed.
int openInput(std::string_view name) {
    if (name == "-")
        return STDIN_FILENO;
    const std::string path(name);
    int input = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    if (input >= 0 && ::fstat(input, &status) == 0 && S_ISDIR(status.st_mode)) {
        ::close(input);
        input = -1;
        errno = EISDIR;
    }
    if (input < 0)
        printError("impossible de lire '" + path + "' : " + vimora::platform::systemErrorText(errno));
    return input;
}

int assessInput(int input, const BatchOptions& options) {
    struct stat inputStatus {};
    const bool showProgress =
        ::isatty(STDERR_FILENO) == 1 && ::fstat(input, &inputStatus) == 0 && S_ISREG(inputStatus.st_mode);
    // Someone typing rows wants each result at once; otherwise large blocks.
    const std::size_t outputBuffer = ::isatty(input) == 1 ? 0 : CsvWriter::kDefaultBufferSize;

    CsvReader reader([input](char* buffer, std::size_t size) { return readInput(input, buffer, size); });
    CsvWriter writer(writeOutput, outputBuffer);
    ProgressLine progressLine;
    ProgressFunction progress;
    if (showProgress)
        progress = [&progressLine](std::size_t rows) {
            progressLine.update(rows);
        };

    BatchResult result;
    try {
        result = runBatch(reader, writer, progress, options);
    } catch (const OutputError& error) {
        printError(error.what());
        return 2;
    }
    if (showProgress)
        progressLine.finish(result.rows);
    if (!result.usageError.empty()) {
        printError(result.usageError);
        if (result.interrupted)
            printError("lecture interrompue : le résultat est incomplet");
    }
    return result.exitStatus();
}

} // namespace

int main(int argc, char** argv) {
    const Request request = parseArguments(argc, argv);
    if (request.help) {
        std::fputs(kHelp, stdout);
        return std::fflush(stdout) == 0 ? 0 : 2;
    }
    if (request.version) {
        std::printf("%s (Vimora XP) %s\n", kProgramName, VIMORA_VERSION);
        return std::fflush(stdout) == 0 ? 0 : 2;
    }
    if (!request.usageError.empty())
        return usageError(request.usageError);
    const int input = request.files.empty() ? STDIN_FILENO : openInput(request.files.front());
    return input < 0 ? 2 : assessInput(input, request.options);
}
