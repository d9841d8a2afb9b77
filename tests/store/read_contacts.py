"""Reads Cardhold's exports with independent readers, or writes a card with vobject.

read_contacts.py vcf FILE   -> JSON list of the cards, as python3-vobject reads them
read_contacts.py csv FILE   -> JSON list of the rows, as Python's csv module reads them
read_contacts.py write FILE -> a vCard 3.0 written by vobject
"""
import csv
import json
import sys

import vobject


def values(card, name):
    return [item.value for item in card.contents.get(name, [])]


def read_vcards(path):
    with open(path, encoding="utf-8", newline="") as f:
        for card in vobject.readComponents(f):
            yield {
                "name": card.fn.value,
                "family": card.n.value.family,
                "given": card.n.value.given,
                "phones": [p[4:] if p.startswith("tel:") else p for p in values(card, "tel")],
                "emails": values(card, "email"),
                "webs": values(card, "url"),
                "note": values(card, "note")[0] if "note" in card.contents else "",
                "uid": card.uid.value,
            }


def read_csv(path):
    with open(path, encoding="utf-8-sig", newline="") as f:
        for row in csv.DictReader(f):
            def numbered(kind):
                return [v for k, v in row.items() if k.startswith(kind + " ") and v]
            yield {"name": row["Name"], "phones": numbered("Phone"), "emails": numbered("Email"),
                   "webs": numbered("Web"), "note": row["Memo"]}


def write_card(path):
    card = vobject.vCard()
    card.add("fn").value = "Łucja Nowak-Żak"
    card.add("n").value = vobject.vcard.Name(family="Nowak-Żak", given="Łucja")
    tel = card.add("tel")
    tel.value = "+48 22 555 01 02"
    tel.type_param = "CELL"
    card.add("email").value = "lucja@example.pl"
    card.add("adr").value = vobject.vcard.Address(street="ul. Długa 5", city="Gdańsk", code="80-831",
                                                  country="Polska")
    card.add("note").value = "Spotkanie; środa, 10:00\nA long note " + "that goes on " * 8
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(card.serialize())


if __name__ == "__main__":
    kind, path = sys.argv[1], sys.argv[2]
    if kind == "write":
        write_card(path)
    else:
        json.dump(list(read_vcards(path) if kind == "vcf" else read_csv(path)), sys.stdout)
