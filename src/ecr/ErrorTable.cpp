#include "ecr/ErrorTable.h"

#include <algorithm>
#include <iterator>

namespace ruvo {

namespace {

// Adjacent literals split "\x96" from a following letter that would otherwise be read as
// another hex digit of the escape.
constexpr CodeMessage kErrorMessages[] = {
    {0,
     "Eroare necunoscuta \x96"
     " contactati tehnicianul autorizat"},
    {1, "Fisier sau arhiva nu sunt prezente"},
    {2,
     "Eroare citire MF \x96"
     " contactati tehnicianul autorizat"},
    {3, "Valoare invalida"},
    {4, "Eroare cod intern. Retransmiteti comanda sau chemati tehnicianul autorizat"},
    {5, "Operatie imposibila. Inchideti documentul current si retransmiteti comanda"},
    {6, "Eroare scriere in MF"},
    {7, "S-a transmis cuvantul TOTAL si este interzis. Eliminati TOTAL din text si retransmiteti"},
    {9, "Depasire valoare maxima bon"},
    {10, "Depasire total zilnic"},
    {11,
     "Data / ora anterioare celor din MF \x96"
     " corectati si retransmiteti"},
    {12,
     "Data / Ora invalide \x96"
     " corectati formatul si retransmiteti"},
    {13,
     "Data / ora invalide \x96"
     " corectati si retransmiteti"},
    {14, "Diferenta intre datele transmise si cele stocate"},
    {15, "Eroare fatala modul fiscal"},
    {16,
     "Eroare lipsa hartie \x96"
     " inlocuiti rola de hartie"},
    {18,
     "Lipsa antet fiscal \x96"
     " programati antetul fiscal"},
    {19,
     "Eroare scriere MF \x96"
     " la inchidere Z sau comunicatia cu modulul fiscal"},
    {21,
     "Document deschis \x96"
     " asteptati sau anulati documentul fiscal sau inchideti documentul nefiscal"},
    {22, "Date eronate"},
    {23,
     "TOTAL NEGATIV! \x96"
     " adaugati alte vanzari sau anulati bonul fiscal"},
    {24,
     "Lungime comanda incorecta \x96"
     " corectati si retransmiteti comanda"},
    {25,
     "Plata partial \x96"
     " completati plata sau anulati bonul"},
    {26, "Operatie intrerupta de utilizator"},
    {27, "Eroare cod baza date"},
    {28,
     "Toate cotele TVA neprogramate \x96"
     " programati cel putin o cota TVA"},
    {29, "Cota TVA negative"},
    {30,
     "Memoria JE este plina \x96"
     " chemati tehnicanul autorizat"},
    {31,
     "Memoria JE este aproape plina \x96"
     " programati inlocuirea memoriei JE"},
    {32,
     "Initializare meorie JE imposibila \x96"
     " chemati tehnicianul autorizat"},
    {33,
     "Memoria JE nu este prezenta \x96"
     " chemati tehnicianul autorizat"},
    {34,
     "Eroare scriere in memoria JE \x96"
     " chemati tehnicianul autorizat"},
    {35,
     "MF deconectata \x96"
     " chemati tehnicanul autorizat"},
    {36,
     "Datele din memoria JE lipsesc  \x96"
     " chemati tehnicianul autorizat"},
    {37,
     "S-a deschis capacul imprimantei \x96"
     " inchideti capacul imprimantei"},
    {38,
     "Memoria JE nu este cea corecta  \x96"
     " chemati tehnicianul autorizat"},
    {39,
     "Memoria JE este protejata cu parola  \x96"
     " chemati tehnicianul autorizat"},
    {40,
     "Datele cautate in memoria JE nu exista \x96"
     " chemati tehnicianul autorizat"},
    {41,
     "Memoria JE introdusa este incorecta \x96"
     " chemati tehnicianul autorizat"},
    {42,
     "Nu sunt salvate datele in memoira JE \x96"
     " chemati tehnicianul autorizat"},
    {48,
     "Eroare modul fiscal \x96"
     " chemati tehnicianul autorizat pentru Reset RAM"},
    {49,
     "Serie incorecta \x96"
     " chemati tehnicianul autorizat"},
    {50,
     "MF nu este prezenta  \x96"
     " chemati tehnicianul autorizat"},
    {51,
     "MF este plina \x96"
     " chemati tehnicianul autorizat pentru inlocuire MF"},
    {52,
     "Jumper RAM RESET present \x96"
     " chemati tehnicianul autorizat"},
    {53, "Eroare la fiscalizare. Este deja fiscalizat."},
    {54, "Emiteti raportul fiscal Z."},
    {56, "Afisajul nu este present. Conectati afisajul."},
    {57, "Data si ora nu sunt programate"},
    {59,
     "Memoria fiscala nu este activate \x96"
     " nefiscalizata sau eroare in MF \x96"
     " chemati tehnicianul autorizat"},
    {60,
     "Imprimanta nu este fiscalizata \x96"
     " chemati tehnicianul autorizat"},
    {61, "Au trecut 24 ore de la ultimul raport fiscal Z"},
    {62, "Eroare receptive date din PC. Inchideti documentul deschis de la tastatura"},
    {63, "Tranzactie POS bancar nefinalizata"},
    {64,
     "Capac imprimanta deshcis \x96"
     " inchideti capacul"},
    {65,
     "Depasire tensiune alimentare cap termic \x96"
     " chemati tehnicianul autorizat"},
    {66,
     "Eroare depasire temperature cap termic \x96"
     " chemati tehnicianul autorizat"},
    {67,
     "Eroare Autocutter \x96"
     " chemati tehnicianul autorizat"},
    {68,
     "Cap termic neconectat \x96"
     " chemati tehnicianul autorizat"},
    {69, "Dimensiune incorecta memorie JE"},
    {70, "Au trecut 24 ore de la primul bon fiscal. Emiteti raportul fiscal Z"},
    {71, "Nu este permisa temiterea unui nou raport fiscal Z"},
    {96, "Fisierul nu exista in atasament"},
    {97, "Asteptati"},
    {98,
     "Eroare echo  \x96"
     " este o operatie efectuata de la tastatura in derulare. Finalizati operatia si reluati "
     "comunicatia."},
    {100, "ERR nn NECUNOSCUTA"},
    {101, "MEMORIE PLINA"},
    {102, "Depasire pret maxim ! Anulati bonul, corectati fisierul bon si retransmiteti"},
    {103, "rr-cc NECONECTAT"},
    {104, "FARA PORT TASTATURA"},
    {105, "COMUNICATIE ERONATA"},
    {106, "LOCATIE ERONATA"},
    {107, "UPGRADE ESUAT"},
    {116, "INTRODUCERE ERONATA"},
    {117, "FUNCTIE NEPERMISA"},
    {118, "FUNCTE NESUPORTATA"},
    {119, "DATA INVALIDA"},
    {120, "STERGERE IMPOSIBILA"},
    {121, "DISCOUNT ERONAT"},
    {122, "VALOARE NEPERMISA"},
    {123, "PAROLA ERONATA"},
    {132, "SUSPENDA INVOICE"},
    {133, "SUSPENDA BON"},
    {134, "INCHIDE TRANZACTIA"},
    {135, "INCASEAZA CREDIT"},
    {136, "NUMERAR INSUFICIENT"},
    {137, "PLATA INVALIDA"},
    {138, "CANT. NEINTRODUSA"},
    {139, "Lipsa denumire"},
    {144, "NU EXISTA PLATA"},
    {145, "PLATA EFECTUATA"},
    {146, "MODIFICARE NEFACUTA"},
    {147, "MODIFICARE FACUTA"},
    {148, "NU EXISTA DEPART."},
    {149, "EXISTA DEPART."},
    {150, "NU EXISTA PLU"},
    {151, "EXISTA PLU"},
    {152, "NU EXISTA OSPATAR"},
    {153, "OSPATARUL EXISTA"},
    {154, "NU EXISTA CLIENT"},
    {155, "CLIENTUL EXISTA"},
    {156, "NU EXISTA COTE CORP."},
    {157, "NU EXISTA CONVENT."},
    {158, "EXISTA CONVENT."},
    {159, "NU EXISTA COMPANIA"},
    {160, "COMPANIE EXISTA"},
    {161, "COMANDA nn NEPERMISA"},
    {162, "BON/FB NEGASIT"},
    {163, "ON I/R PRINTER"},
    {164, "MASA PLINA"},
    {165, "MASA GOALA"},
    {166, "INCHIDE MASA"},
    {167, "KP kk NECONECTATA"},
    {168, "MC mm NECONECTAT"},
    {169, "KP mm-kk NU RASPUNDE"},
    {256, "SYSTEM_ERR"},
    {65536, "ERR_UNKNOWN_CMD"},
    {65537, "ERR_NOTFOUND_CMD"},
    {65538, "ERR_CHK_SUM"},
    {65540, "ERR_DATA_CORR"},
    {65541, "ERR_PAR_NOT_OK"},
    {65542, "ERR_PROT_NOT_OK"},
    {8000, "Eroare conectare la driverul-ui WobDLL.DLL "},
    {8001, "Eroare la deschiderea portului serial"},
    {8002, "Numar invalid de caractere returnate fata de cel asteptat"},
    {8003, "Parametrul FONT este eronat (1..6)"},
    {8004, "Lungimea textului este prea mare "},
    {8025, "Trebuie efectuat Reset RAM"},
    {8027, "Comanda de raport zilnic nu poate fi insotita de alte comenzi"},
    {8031, "Valoarea returnata nu este numerica "},
    {8032, "Tip cod bare eronat"},
    {8033, "Flagul privind modul de tiparire al cifrelor la codul de bare este eronat"},
    {8034, "Tip raport MF eronat (valori admise : 1 sau 2)"},
    {8035, "Data de inceput raport MF este eronata"},
    {8036, "Data de sfarsit raport MF este eronata"},
    {8047, "NACK"},
    {8048, "TIME OUT"},
};

constexpr CodeMessage kExtendedErrorMessages[] = {
    {100,
     "Eroare necunoscuta \x96"
     " contactati tehnicianul autorizat"},
    {101, "Memoria pentru clienti este plina."},
    {102, "Eroare depasire pret maxim"},
    {103, "Eroare linie / coloana"},
    {105,
     "Eroare comunicatie. Verificati conexiunea la PC \x96"
     " chemati tehnicianul autorizat"},
    {106, "Nivel scazut tensiune baterie."},
    {107, "Actualizare esuata. Veritifati daca liniile sunt corecte."},
    {108, "Valoarea introdusa este mai mica decat valoarea minima"},
    {109,
     "Nu s-a finalizat stergerea datelor dupa raportul Z. Stergerea datelor a fost incomplete."},
    {117, "Functie nepermisa"},
    {118, "Cantitatea introdusa depaseste limita maxima"},
    {121, "Reducere procentuala eronata (>100%)"},
    {122,
     "Valoarea introdusa nu este in intervalul minim \x96"
     " maxim"},
    {123, "Parola incorecta"},
    {136, "Numerar insufficient. Introduceti numerar in sertar."},
    {137, "Plata invalida"},
    {138, "Lipseste cantitatea"},
    {141, "Valoarea platita depaseste limita maxima programata."},
    {142, "Valoare REST depaseste limita maxima programata"},
    {143, "Depasire credit client"},
    {144, "Lipseste forma de plata"},
    {146, "Nu exista reducere / majorare"},
    {148, "Bonul a fost sters sau nu exista."},
    {150, "Cod PLU inexistent"},
    {152, "Operatorul selectat nu exista\\"},
    {154, "Clientul nu exista"},
    {193, "Eroare salvare Raport Z pe memoria flash"},
};

template <std::size_t N>
std::string_view Find(const CodeMessage (&table)[N], std::int32_t code) {
  const auto it = std::find_if(std::begin(table), std::end(table),
                               [code](const CodeMessage& entry) { return entry.code == code; });
  return it == std::end(table) ? std::string_view{} : std::string_view{it->message};
}

}  // namespace

std::span<const CodeMessage> EcrErrorMessages() { return kErrorMessages; }

std::span<const CodeMessage> ExtendedErrorMessages() { return kExtendedErrorMessages; }

std::string_view EcrErrorMessage(std::int32_t code) { return Find(kErrorMessages, code); }

std::string_view ExtendedErrorMessage(std::int32_t number) {
  return Find(kExtendedErrorMessages, number);
}

std::string CommNotOkMessage() {
  return "ERR_COMM_NOT_OK\r"
         "Efectuati una din operatiile de mai jos :\r"
         "Verificati daca imprimanta este pornita si porniti imprimanta daca este cazul;\r"
         "Opriti si reporniti imprimanta daca imprimanta este pornita deja\r"
         "Verificati si programati corect, daca este cazul, parametrii de comunicatie din "
         "imprimanta si sau XRUVODRV;\r"
         "Verificati conectarea corecta a cablului de comunicatie PC - Imprimanta.";
}

}  // namespace ruvo
