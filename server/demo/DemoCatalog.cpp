#include "demo/DemoCatalog.h"

namespace prx::server {

const QList<DemoCatalog::Category> &DemoCatalog::categories()
{
    static const QList<Category> all = {
        {"01",
         "Bebidas",
         {{"01",
           "Refrigerantes",
           {"Refrigerante Cola", "Refrigerante Cola Zero", "Refrigerante Guaraná",
            "Refrigerante Laranja", "Refrigerante Limão", "Refrigerante Uva", "Água Tônica"},
           {"Lata 350ml", "Lata 220ml", "Garrafa 600ml", "PET 1,5L", "PET 2L"},
           3.5,
           12.0},
          {"02",
           "Sucos",
           {"Suco de Laranja", "Suco de Uva", "Suco de Maracujá", "Suco de Abacaxi com Hortelã",
            "Suco de Manga", "Suco de Caju", "Limonada Suíça"},
           {"Copo 300ml", "Copo 500ml", "Jarra 1L", "Caixa 1L", "Garrafa 300ml"},
           6.0,
           18.0},
          {"03",
           "Águas",
           {"Água Mineral sem Gás", "Água Mineral com Gás", "Água de Coco"},
           {"Garrafa 500ml", "Garrafa 1,5L", "Copo 200ml", "Caixa 330ml"},
           2.5,
           8.0},
          {"04",
           "Cervejas",
           {"Cerveja Pilsen", "Cerveja Puro Malte", "Cerveja IPA", "Cerveja Weiss", "Chopp Claro",
            "Chopp Escuro"},
           {"Lata 350ml", "Long Neck 355ml", "Garrafa 600ml", "Caneca 400ml", "Tulipa 300ml"},
           5.0,
           22.0},
          {"05",
           "Cafés",
           {"Café Expresso", "Café Coado", "Cappuccino", "Café com Leite", "Chocolate Quente",
            "Chá Mate"},
           {"Pequeno", "Médio", "Grande", "Duplo"},
           4.0,
           14.0}}},
        {"02",
         "Lanches",
         {{"01",
           "Sanduíches",
           {"X-Burger", "X-Salada", "X-Bacon", "X-Tudo", "Misto Quente", "Bauru",
            "Sanduíche Natural de Frango", "Beirute de Filé"},
           {"Tradicional", "Duplo", "no Pão Australiano", "Light"},
           12.0,
           38.0},
          {"02",
           "Salgados",
           {"Coxinha de Frango", "Pão de Queijo", "Esfiha de Carne", "Kibe", "Pastel de Queijo",
            "Pastel de Carne", "Empada de Palmito", "Enroladinho de Salsicha"},
           {"Unidade", "Porção com 6", "Porção com 12", "Mini Cento"},
           4.5,
           60.0},
          {"03",
           "Pizzas",
           {"Pizza Margherita", "Pizza Calabresa", "Pizza Portuguesa", "Pizza Quatro Queijos",
            "Pizza Frango com Catupiry", "Pizza Napolitana"},
           {"Broto", "Média", "Grande", "Família", "Fatia"},
           9.0,
           85.0}}},
        {"03",
         "Pratos",
         {{"01",
           "Pratos Executivos",
           {"Prato Feito de Frango Grelhado", "Feijoada Completa", "Parmegiana de Frango",
            "Bife Acebolado", "Strogonoff de Frango", "Peixe Grelhado", "Moqueca de Peixe",
            "Virado à Paulista"},
           {"Individual", "Para Dois", "Kids", "Meia Porção"},
           22.0,
           75.0},
          {"02",
           "Massas",
           {"Espaguete à Bolonhesa", "Lasanha à Bolonhesa", "Nhoque ao Sugo",
            "Talharim ao Molho Branco", "Ravioli de Queijo", "Penne ao Pesto"},
           {"Individual", "Para Dois", "Meia Porção"},
           26.0,
           70.0},
          {"03",
           "Saladas",
           {"Salada Caesar", "Salada Tropical", "Salada Caprese", "Salada de Grão-de-Bico"},
           {"Individual", "Grande", "com Frango"},
           18.0,
           42.0},
          {"04",
           "Grelhados",
           {"Picanha na Chapa", "Filé Mignon Grelhado", "Frango à Passarinho", "Costela no Bafo",
            "Linguiça Toscana"},
           {"Porção 300g", "Porção 500g", "Individual", "Para Dois"},
           35.0,
           120.0}}},
        {"04",
         "Sobremesas",
         {{"01",
           "Sorvetes",
           {"Sorvete de Creme", "Sorvete de Chocolate", "Sorvete de Morango", "Açaí na Tigela",
            "Picolé de Limão", "Sundae de Caramelo"},
           {"Copo 200ml", "Copo 300ml", "Pote 1,5L", "Casquinha"},
           5.0,
           35.0},
          {"02",
           "Doces",
           {"Brigadeiro", "Beijinho", "Pudim de Leite", "Mousse de Maracujá", "Quindim", "Brownie"},
           {"Unidade", "Caixa com 4", "Caixa com 12", "Fatia"},
           3.0,
           45.0},
          {"03",
           "Tortas",
           {"Torta de Limão", "Torta Holandesa", "Cheesecake de Frutas Vermelhas",
            "Bolo de Cenoura com Chocolate"},
           {"Fatia", "Inteira", "Mini"},
           9.0,
           89.0}}},
        {"05",
         "Mercearia",
         {{"01",
           "Biscoitos",
           {"Biscoito Recheado de Chocolate", "Biscoito de Polvilho", "Biscoito Cream Cracker",
            "Biscoito Maisena", "Wafer de Morango"},
           {"Pacote 100g", "Pacote 140g", "Pacote 200g", "Pacote 400g"},
           2.5,
           9.0},
          {"02",
           "Chocolates",
           {"Chocolate ao Leite", "Chocolate Meio Amargo", "Chocolate Branco", "Bombom Sortido",
            "Chocolate com Amendoim"},
           {"Barra 25g", "Barra 90g", "Barra 170g", "Caixa 250g"},
           3.0,
           29.0},
          {"03",
           "Snacks",
           {"Batata Chips Original", "Amendoim Japonês", "Pipoca de Micro-ondas",
            "Salgadinho de Milho", "Castanha de Caju"},
           {"Pacote 45g", "Pacote 100g", "Pacote 150g", "Pote 300g"},
           3.0,
           32.0},
          {"04",
           "Higiene",
           {"Escova de Dentes", "Creme Dental", "Sabonete", "Lenço de Papel",
            "Desodorante Aerosol"},
           {"Unidade", "Leve 3 Pague 2", "Kit Viagem"},
           2.0,
           25.0}}},
        {"06",
         "Combos",
         {{"01", "Combos Lanche", {}, {}, 0, 0}, {"02", "Combos Almoço", {}, {}, 0, 0}}},
    };
    return all;
}

const QList<DemoCatalog::Branch> &DemoCatalog::branches()
{
    static const QList<Branch> all = {
        {"Restaurante Centro", "00001", "GRP0001"},
        {"Loja Shopping Iguatemi", "00003", "GRP0002"},
        {"Restaurante Avenida Paulista", "00002", "GRP0001"},
        {"Loja Aeroporto Congonhas", "00003", "GRP0002"},
        {"Quiosque Praia de Boa Viagem", "00004", "GRP0003"},
        {"Restaurante Savassi", "00002", "GRP0001"},
        {"Loja Shopping Barra", "00003", "GRP0002"},
        {"Restaurante Moinhos de Vento", "00002", "GRP0001"},
        {"Loja Rodoviária Tietê", "00003", "GRP0002"},
        {"Quiosque Parque Ibirapuera", "00004", "GRP0003"},
        {"Restaurante Batel", "00002", "GRP0001"},
        {"Loja Shopping Recife", "00003", "GRP0002"},
    };
    return all;
}

const QList<DemoCatalog::Named> &DemoCatalog::segments()
{
    static const QList<Named> all = {{"00001", "Alimentação e Varejo (mix completo)"},
                                     {"00002", "Restaurante"},
                                     {"00003", "Loja de Conveniência"},
                                     {"00004", "Quiosque"}};
    return all;
}

QStringList DemoCatalog::segmentCategories(const QString &segment)
{
    if (segment == u"00002")
        return {"01", "02", "03", "04", "06"};
    if (segment == u"00003")
        return {"01", "04", "05"};
    if (segment == u"00004")
        return {"01", "02", "04"};
    return {"01", "02", "03", "04", "05", "06"};
}

const QList<DemoCatalog::Named> &DemoCatalog::productGroups()
{
    static const QList<Named> all = {{"GRP0001", "Cardápio Restaurante"},
                                     {"GRP0002", "Mix Loja de Conveniência"},
                                     {"GRP0003", "Mix Quiosque"}};
    return all;
}

const QList<DemoCatalog::Named> &DemoCatalog::consumerTypes()
{
    static const QList<Named> all = {{"01", "Funcionário"},
                                     {"02", "Estudante"},
                                     {"03", "Idoso"},
                                     {"04", "Cliente Fidelidade"},
                                     {"05", "Convênio Empresa"}};
    return all;
}

const QList<DemoCatalog::Named> &DemoCatalog::costTypes()
{
    static const QList<Named> all = {
        {"1", "Custo Médio"}, {"2", "Custo da Última Compra"}, {"3", "Custo de Reposição"}};
    return all;
}

const QStringList &DemoCatalog::clients()
{
    static const QStringList all = {"Construtora Horizonte Ltda.", "Hospital Santa Clara",
                                    "Colégio Monte Azul", "Metalúrgica Vale do Aço S.A.",
                                    "Transportadora Rota Sul Ltda."};
    return all;
}

const QList<DemoCatalog::Named> &DemoCatalog::priceTables()
{
    static const QList<Named> all = {
        {"001", "Balcão"}, {"002", "Delivery"}, {"003", "Funcionários"}};
    return all;
}

const QStringList &DemoCatalog::storeNames()
{
    static const QStringList all = {"Loja Térreo", "Praça de Alimentação"};
    return all;
}

} // namespace prx::server
